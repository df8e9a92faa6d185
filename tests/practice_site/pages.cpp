#include "catalogue/category_tree.h"
#include "site.h"

namespace practice {

namespace {

// The zones in page order behind an entry that is not a zone: [[name, [sub-zones]], ...].
std::string zonesJson() {
    std::string json = "[[\"推荐\",[]]";
    for (const auto& zone : clipmill::CategoryTree::builtIn().zones()) {
        json += ",[" + jsonString(zone.name) + ",[";
        for (size_t i = 0; i < zone.subZones.size(); ++i) json += (i ? "," : "") + jsonString(zone.subZones[i]);
        json += "]]";
    }
    return json + "]";
}

std::string knobsJson(const Knobs& knobs) {
    auto flag = [](bool on) { return on ? "true" : "false"; };
    return "{\"uploadMs\":" + std::to_string(knobs.uploadMs) + ",\"stallUpload\":" + flag(knobs.stallUpload) +
           ",\"failUpload\":" + flag(knobs.failUpload) + ",\"coverDelayMs\":" + std::to_string(knobs.coverDelayMs) +
           ",\"submitNoop\":" + flag(knobs.submitNoop) + ",\"submitSendMs\":" + std::to_string(knobs.submitSendMs) +
           ",\"submitClass\":" + jsonString(knobs.submitClass) + ",\"tooFrequent\":" + flag(knobs.tooFrequent) +
           ",\"verificationMs\":" + std::to_string(knobs.verificationMs) +
           ",\"successInPlace\":" + flag(knobs.successInPlace) + "}";
}

const char* const kUploadPageTop = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"><title>创作中心 - 上传视频</title>
<style>
body { font-family: sans-serif; margin: 0; }
.upload-area { margin: 20px; padding: 40px; border: 2px dashed #aaa; text-align: center; }
.form > div { margin: 12px 20px; }
.input-box-v2-1-val { width: 400px; }
.check-radio-v2-name, .select-box-v2-controller, .pre-item-content, .item-main, .label-item-v2-2-container,
.selector-item, .cover-chop-modal-v2-btn { display: inline-block; padding: 4px 10px; margin: 2px; border: 1px solid #ccc; cursor: pointer; }
.check-radio-v2-name.checked, .selector-item.chosen { background: #00a1d6; color: #fff; }
.ql-editor { min-height: 60px; border: 1px solid #ccc; }
.cover-chop-modal { position: fixed; top: 100px; left: 100px; padding: 30px; background: #fff; border: 1px solid #333; }
.bcc-message { position: fixed; top: 40px; left: 40%; padding: 10px 20px; background: #fff3f0; color: #f45a5a; }
.toast { position: fixed; top: 40px; left: 40%; padding: 10px 20px; background: #333; color: #fff; }
.geetest_panel { position: fixed; inset: 0; background: rgba(0,0,0,.5); color: #fff; font-size: 24px; padding-top: 200px; text-align: center; }
#submit { display: inline-block; padding: 8px 24px; background: #00a1d6; color: #fff; cursor: pointer; }
</style></head>
<body>
<div class="upload-area">
  <p>拖拽视频到此处也可上传</p>
  <input type="file" class="video-input" accept=".mp4,.flv,.avi,.wmv,.mov,.webm,.mpeg4,.ts,.mpg,.rm,.rmvb,.mkv,.m4v">
</div>
<div class="upload-status"><span class="item-status-percentage"></span> <span class="upload-status-intro"></span></div>
<div class="form">
  <div class="cover"><span class="cover-v2-upload-tip">上传封面</span><span class="cover-state"></span>
    <input type="file" class="cover-input" accept="image/png, image/jpeg">
    <div class="cover-selector"></div></div>
  <div class="title"><input class="input-box-v2-1-val" maxlength="80"></div>
  <div class="originality"><span class="check-radio-v2-name">自制</span><span class="check-radio-v2-name">转载</span>
    <span class="source"></span></div>
  <div class="zone"><div class="select-box-v2-controller">请选择分区</div>
    <div class="zone-list" style="display:none"></div><div class="drop-cascader-list-wrp"></div></div>
  <div class="tags"><span class="tag-list"></span>
    <div class="content-tag-v2-input-wrp"><input class="tag-input" placeholder="按回车键Enter创建标签"></div>
    <div class="recommended"></div></div>
  <div class="description"><div class="ql-editor" contenteditable="true"></div></div>
  <div id="submit" class="submit-btn-group-add">立即投稿</div>
</div>
<script>
)HTML";

const char* const kUploadPageScript = R"HTML(
const $ = (s) => document.querySelector(s);
const state = { video: null, uploaded: false, originality: null, zone: null, subZone: null, tags: [], cover: null,
                systemCover: null };
function send(kind, file) {
  return fetch('/api/upload', { method: 'POST', body: file,
    headers: { 'X-File-Name': encodeURIComponent(file.name), 'X-File-Kind': kind } });
}
function showProgress(percent, text) {
  $('.item-status-percentage').textContent = percent + '%';
  $('.upload-status-intro').textContent = text;
}
function runProgress() {
  const started = Date.now();
  const timer = setInterval(() => {
    let percent = knobs.uploadMs > 0 ? Math.floor((Date.now() - started) * 100 / knobs.uploadMs) : 100;
    if (knobs.stallUpload) percent = Math.min(percent, 37);
    if (knobs.failUpload && percent >= 50) { clearInterval(timer); showProgress(50, '上传失败'); return; }
    if (percent < 100) { showProgress(percent, '上传中'); return; }
    clearInterval(timer);
    state.uploaded = true;
    showProgress(100, '上传完成');
  }, 50);
}
function offerSystemCovers() {
  const selector = $('.cover-selector');
  selector.innerHTML = '<span class="cover-v2-loading">封面生成中</span>';
  setTimeout(() => {
    selector.innerHTML = '';
    for (let n = 1; n <= 4; ++n) {
      const item = document.createElement('span');
      item.className = 'selector-item';
      item.textContent = '封面' + n;
      item.addEventListener('click', () => {
        document.querySelectorAll('.selector-item').forEach(i => i.classList.remove('chosen'));
        item.classList.add('chosen');
        state.systemCover = n;
      });
      selector.appendChild(item);
    }
  }, knobs.coverDelayMs);
}
$('.video-input').addEventListener('change', async (e) => {
  const file = e.target.files[0];
  if (!file) return;
  state.video = { name: file.name, size: file.size };
  showProgress(0, '上传中');
  const title = $('.input-box-v2-1-val');
  if (!title.value) title.value = file.name.replace(/\.[^.]*$/, '');
  offerSystemCovers();
  try { await (await send('video', file)).json(); } catch (error) { showProgress(0, '上传失败'); return; }
  runProgress();
});
$('.cover-input').addEventListener('change', (e) => {
  const file = e.target.files[0];
  e.target.value = '';
  if (!file) return;
  const modal = document.createElement('div');
  modal.className = 'cover-chop-modal';
  modal.innerHTML = '<p>裁剪封面</p><span class="cover-chop-modal-v2-btn">完成</span>';
  document.body.appendChild(modal);
  modal.querySelector('.cover-chop-modal-v2-btn').addEventListener('click', async () => {
    modal.remove();
    const reply = await send('cover', file);
    if (!reply.ok) { $('.cover-state').textContent = '封面上传失败'; return; }
    state.cover = await reply.json();
    const tip = $('.cover-v2-upload-tip');
    if (tip) tip.remove();
    $('.cover-state').textContent = '已设置封面';
  });
});
document.querySelectorAll('.check-radio-v2-name').forEach((radio, i) => {
  radio.addEventListener('click', () => {
    document.querySelectorAll('.check-radio-v2-name').forEach(r => r.classList.remove('checked'));
    radio.classList.add('checked');
    state.originality = i === 0 ? '自制' : '转载';
    $('.source').innerHTML = i === 0 ? '' : '<input class="input-box-v2-1-val source-input" placeholder="转载视频请注明来源">';
  });
});
const zoneList = $('.zone-list');
const subZonePanel = $('.drop-cascader-list-wrp');
$('.select-box-v2-controller').addEventListener('click', () => { zoneList.style.display = 'block'; });
for (const [name, subs] of zones) {
  const entry = document.createElement('div');
  entry.className = 'pre-item-content';
  entry.textContent = name;
  entry.addEventListener('click', () => {
    state.zone = name;
    state.subZone = null;
    subZonePanel.innerHTML = '';
    for (const sub of subs) {
      const item = document.createElement('div');
      item.className = 'drop-cascader-item';
      item.innerHTML = '<p class="item-main"></p><p class="item-sub">说明</p>';
      item.firstChild.textContent = sub;
      item.addEventListener('click', () => {
        state.subZone = sub;
        $('.select-box-v2-controller').textContent = name + ' → ' + sub;
        zoneList.style.display = 'none';
        subZonePanel.innerHTML = '';
      });
      subZonePanel.appendChild(item);
    }
  });
  zoneList.appendChild(entry);
}
function addTag(text) {
  if (!text || state.tags.includes(text)) return;
  state.tags.push(text);
  const chip = document.createElement('span');
  chip.className = 'tag-chip';
  chip.textContent = text + ' ';
  $('.tag-list').appendChild(chip);
}
$('.tag-input').addEventListener('keydown', (e) => {
  if (e.key !== 'Enter') return;
  e.preventDefault();
  addTag(e.target.value.trim());
  e.target.value = '';
});
for (let n = 1; n <= 25; ++n) {
  const item = document.createElement('span');
  item.className = 'label-item-v2-2-container';
  item.textContent = '推荐' + n;
  item.addEventListener('click', () => addTag(item.textContent));
  $('.recommended').appendChild(item);
}
if (knobs.submitClass) $('#submit').className = knobs.submitClass;
let challenged = false;
$('#submit').addEventListener('click', async (e) => {
  if (!e.isTrusted || knobs.submitNoop || !state.uploaded) return;
  if (knobs.tooFrequent) {
    const toast = document.createElement('div');
    toast.className = 'toast';
    toast.textContent = '投稿过于频繁，请稍后再试';
    document.body.appendChild(toast);
    return;
  }
  if (knobs.verificationMs > 0 && !challenged) {
    challenged = true;
    const panel = document.createElement('div');
    panel.className = 'geetest_panel';
    panel.textContent = '请完成安全验证';
    document.body.appendChild(panel);
    setTimeout(() => panel.remove(), knobs.verificationMs);
    return;
  }
  if (knobs.submitSendMs > 0) {
    fetch('/api/clicked', { method: 'POST' });
    await new Promise(done => setTimeout(done, knobs.submitSendMs));
  }
  const source = $('.source-input');
  const description = $('.ql-editor').innerText.replace(/\n$/, '');
  const fields = { title: $('.input-box-v2-1-val').value, video: state.video, originality: state.originality,
                   source: source ? source.value : null, zone: state.zone, subZone: state.subZone, tags: state.tags,
                   cover: state.cover, systemCover: state.systemCover, description };
  const sent = await fetch('/api/submit', { method: 'POST', body: JSON.stringify(fields),
                                             headers: { 'Content-Type': 'application/json' } });
  const answer = await sent.json();
  if (answer.code !== 0) { showMessage(answer.message); return; }
  if (knobs.successInPlace) { showSuccessInPlace(); return; }
  location.href = '/video/done.html';
});
function showMessage(text) {
  const message = document.createElement('div');
  message.className = 'bcc-message';
  message.textContent = text;
  document.body.appendChild(message);
  setTimeout(() => message.remove(), 3000);
}
function showSuccessInPlace() {
  const done = document.createElement('div');
  done.className = 'step-des';
  done.innerHTML = '<p>稿件投递成功</p><button type="button" class="again">再投一个</button>';
  done.querySelector('.again').addEventListener('click', () => location.reload());
  $('.form').replaceWith(done);
}
</script>
</body></html>
)HTML";

}  // namespace

std::string uploadPageHtml(const Knobs& knobs) {
    return std::string(kUploadPageTop) + "const knobs = " + knobsJson(knobs) + ";\nconst zones = " + zonesJson() + ";\n" +
           kUploadPageScript;
}

const std::string& loginPageHtml() {
    static const std::string page = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"><title>登录</title></head>
<body><h1>密码登录</h1><form><input name="user" placeholder="请输入账号"><input name="password" type="password" placeholder="请输入密码"><button type="button">登录</button></form></body></html>
)HTML";
    return page;
}

const std::string& bannedPageHtml() {
    static const std::string page = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"><title>创作中心</title></head>
<body><div class="banned-notice">账号已被禁用，如有疑问请联系客服</div></body></html>
)HTML";
    return page;
}

const std::string& doneHtml() {
    static const std::string page = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"><title>投稿成功</title></head>
<body><h1>稿件投递成功</h1></body></html>
)HTML";
    return page;
}

}  // namespace practice
