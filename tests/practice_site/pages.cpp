#include "site.h"

namespace practice {

const std::string& uploadPageHtml() {
    static const std::string page = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"><title>创作中心 - 上传视频</title>
<style>
body { font-family: sans-serif; margin: 0; }
.upload-area { margin: 20px; padding: 40px; border: 2px dashed #aaa; text-align: center; }
.form { margin: 20px; }
.input-box-v2-1-val { width: 400px; }
.submit-btn-group-add { display: inline-block; padding: 8px 24px; background: #00a1d6; color: #fff; cursor: pointer; }
</style></head>
<body>
<div class="upload-area">
  <p>拖拽视频到此处也可上传</p>
  <input type="file" class="video-input" accept=".mp4,.flv,.avi,.wmv,.mov,.webm,.mpeg4,.ts,.mpg,.rm,.rmvb,.mkv,.m4v">
</div>
<div class="upload-status"><span class="item-status-percentage"></span><span class="upload-status-intro"></span></div>
<div class="form">
  <div class="cover"><input type="file" class="cover-input" accept="image/png, image/jpeg"></div>
  <div class="title"><input class="input-box-v2-1-val" maxlength="80"></div>
  <div class="submit-btn-group-add">立即投稿</div>
</div>
<script>
const state = { video: null, cover: null };
function send(kind, file) {
  return fetch('/api/upload', { method: 'POST', body: file,
    headers: { 'X-File-Name': encodeURIComponent(file.name), 'X-File-Kind': kind } });
}
document.querySelector('.video-input').addEventListener('change', async (e) => {
  const file = e.target.files[0];
  if (!file) return;
  state.video = { name: file.name, size: file.size };
  document.querySelector('.upload-status-intro').textContent = '上传中';
  await send('video', file);
  document.querySelector('.item-status-percentage').textContent = '100%';
  document.querySelector('.upload-status-intro').textContent = '上传完成';
  const title = document.querySelector('.input-box-v2-1-val');
  if (!title.value) title.value = file.name.replace(/\.[^.]*$/, '');
});
document.querySelector('.cover-input').addEventListener('change', async (e) => {
  const file = e.target.files[0];
  if (!file) return;
  state.cover = { name: file.name, size: file.size };
  await send('cover', file);
});
document.querySelector('.submit-btn-group-add').addEventListener('click', async (e) => {
  if (!e.isTrusted) return;
  const fields = { title: document.querySelector('.input-box-v2-1-val').value, video: state.video, cover: state.cover };
  await fetch('/api/submit', { method: 'POST', body: JSON.stringify(fields), headers: { 'Content-Type': 'application/json' } });
  location.href = '/video/done.html';
});
</script>
</body></html>
)HTML";
    return page;
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
