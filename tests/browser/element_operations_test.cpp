#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "fixtures/automation_fixture.h"
#include "fixtures/poll_until.h"

namespace clipmill::testing {
namespace {

const char* kElementsPage = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"><title>元素</title></head><body>
<ul class="list"><li class="item">一</li><li class="item">二</li><li class="item"><b>三</b></li></ul>
<button class="btn">A</button><button class="btn">B</button><button class="btn">C</button>
<button class="hidden" style="display:none">H</button>
<input class="field" id="f1"><input class="field" id="f2">
<div class="wrap"><span>标签</span><input class="inner"></div>
<div class="editor" contenteditable="true"></div>
<form id="form"><input class="q" name="q"></form>
<input type="file" id="video" accept=".mp4,.flv">
<input type="file" id="cover" accept="image/png, image/jpeg">
<div style="height: 4000px"></div>
<button class="far">far</button>
<script>
window.events = [];
document.querySelectorAll('button').forEach(b => b.addEventListener('click',
  e => events.push('click:' + b.textContent + ':' + e.isTrusted)));
document.querySelectorAll('input').forEach(i => {
  i.addEventListener('keydown', e => events.push('keydown:' + e.key + ':' + e.isTrusted));
  i.addEventListener('input', e => events.push('input:' + i.value));
  i.addEventListener('change', e => events.push('change:' + i.value));
});
document.getElementById('form').addEventListener('submit', e => { e.preventDefault(); events.push('submit'); });
</script></body></html>)HTML";

const char* kChooserPage = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"></head><body>
<button id="pick">选择文件</button>
<script>
window.picked = null;
document.getElementById('pick').addEventListener('click', () => {
  const input = document.createElement('input');
  input.type = 'file';
  input.addEventListener('change', () => { picked = input.files[0].name + ':' + input.files[0].size; });
  input.click();
});
</script></body></html>)HTML";

const char* kLeavePage = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"></head><body>
<button id="b">x</button>
<script>
window.addEventListener('beforeunload', e => { e.preventDefault(); e.returnValue = 'stay'; });
document.getElementById('b').addEventListener('click', () => alert('提示'));
</script></body></html>)HTML";

class ElementOperations : public SharedBrowserTest {
protected:
    static void SetUpTestSuite() {
        startShared({{"/elements.html", kElementsPage}, {"/chooser.html", kChooserPage}, {"/leave.html", kLeavePage}},
                    "/elements.html");
    }
    static void TearDownTestSuite() { stopShared(); }
    void SetUp() override { ASSERT_EQ(automation().form_forward_url(handle(), url("/elements.html")), 1); }
    std::string events() { return js("events.join('|')"); }
};

TEST_F(ElementOperations, CountsAndPresence) {
    struct Case {
        const char* selector;
        int count;
    };
    for (const Case& c : {Case{".item", 3}, Case{".missing", 0}, Case{"li:nth-child(2)", 1}, Case{"###bad", 0}}) {
        EXPECT_EQ(automation().form_dom_count(handle(), c.selector), c.count) << c.selector;
        EXPECT_EQ(automation().form_dom_isexist(handle(), c.selector), c.count > 0 ? 1 : 0) << c.selector;
    }
}

TEST_F(ElementOperations, PositionsCountFromOneAndZeroIsTheFirst) {
    struct Case {
        int position;
        const char* text;
        const char* html;
    };
    for (const Case& c : {Case{0, "一", "一"}, Case{1, "一", "一"}, Case{2, "二", "二"}, Case{3, "三", "<b>三</b>"},
                          Case{4, "", ""}}) {
        EXPECT_EQ(automation().form_dom_gettext(handle(), ".item", c.position), c.text) << c.position;
        EXPECT_EQ(automation().form_dom_innerhtml(handle(), ".item", c.position), c.html) << c.position;
    }
}

TEST_F(ElementOperations, ClicksAreTrustedMouseEventsOnTheNthMatch) {
    EXPECT_EQ(automation().form_dom_click(handle(), ".btn", 2), 1);
    EXPECT_EQ(automation().form_dom_click(handle(), ".far", 0), 1);  // below the fold: scrolled into view first
    EXPECT_EQ(automation().form_dom_click(handle(), ".btn", 9), 0);
    EXPECT_EQ(automation().form_dom_click(handle(), ".hidden", 0), 0);
    EXPECT_EQ(events(), "\"click:B:true|click:far:true\"");
}

TEST_F(ElementOperations, SetValueAndSetTextFireInputAndChange) {
    EXPECT_EQ(automation().form_dom_setvalue(handle(), ".field", "值", 2), 1);
    EXPECT_EQ(js("document.getElementById('f2').value"), "\"值\"");
    EXPECT_EQ(events(), "\"input:值|change:值\"");
    EXPECT_EQ(automation().form_dom_settext(handle(), ".editor", "正文", 0), 1);
    EXPECT_EQ(automation().form_dom_gettext(handle(), ".editor", 0), "正文");
    EXPECT_EQ(automation().form_dom_settext(handle(), ".field", "", 2), 1);
    EXPECT_EQ(js("document.getElementById('f2').value"), "\"\"");
    EXPECT_EQ(automation().form_dom_setvalue(handle(), ".none", "x", 0), 0);
}

TEST_F(ElementOperations, TypesKeyByKeyIntoTheElementOrTheFieldInsideIt) {
    EXPECT_EQ(automation().form_dom_input(handle(), ".field", "ab中文", 2), 1);
    EXPECT_EQ(js("document.getElementById('f2').value"), "\"ab中文\"");
    EXPECT_EQ(js("events.filter(e => e.startsWith('keydown')).join('|')"),
              "\"keydown:a:true|keydown:b:true|keydown:中:true|keydown:文:true\"");
    EXPECT_EQ(automation().form_dom_input(handle(), ".wrap", "标签一", 0), 1);
    EXPECT_EQ(js("document.querySelector('.inner').value"), "\"标签一\"");
}

TEST_F(ElementOperations, CaretAtTheEndThenWordInputAppends) {
    automation().form_dom_setvalue(handle(), ".field", "开头", 1);
    EXPECT_EQ(automation().form_dom_get_cursor(handle(), ".field"), 1);
    EXPECT_EQ(automation().form_word_input(handle(), ".field", "结尾"), 1);
    EXPECT_EQ(js("document.getElementById('f1').value"), "\"开头结尾\"");
}

TEST_F(ElementOperations, EnterSubmitsTheForm) {
    automation().form_dom_focus(handle(), ".q", 0);
    EXPECT_EQ(automation().form_press_special_key(handle(), 13), 1);
    EXPECT_EQ(js("events.includes('submit')"), "true");
}

TEST_F(ElementOperations, CtrlVPastesWhatCtrlCCopied) {
    // Headless, the clipboard is the browser's own; the headed suite pastes through X.
    js("(() => { const r = document.createRange(); r.selectNodeContents(document.querySelector('.list'));"
       " getSelection().removeAllRanges(); getSelection().addRange(r); return true; })()");
    EXPECT_EQ(automation().form_analog_keyboard_ex(handle(), "67", 2), 1);
    automation().form_dom_focus(handle(), ".editor", 0);
    EXPECT_EQ(automation().form_analog_keyboard_ex(handle(), "86", 2), 1);
    EXPECT_EQ(js("document.querySelector('.editor').innerText.replace(/\\s+/g, '')"), "\"一二三\"");
}

TEST_F(ElementOperations, FilesReachTheInputForTheirKind) {
    TempDir files;
    auto video = files.write("视频 1.mp4", std::string(12345, 'v'));
    auto cover = files.write("封面.png", std::string(321, 'c'));
    EXPECT_EQ(automation().form_upload_file(handle(), BrowserAutomation::kVideoChooser, video.string()), 1);
    EXPECT_EQ(automation().form_upload_file(handle(), BrowserAutomation::kCoverChooser, cover.string()), 1);
    EXPECT_EQ(js("(() => { const f = document.getElementById('video').files[0]; return f.name + ':' + f.size; })()"),
              "\"视频 1.mp4:12345\"");
    EXPECT_EQ(js("(() => { const f = document.getElementById('cover').files[0]; return f.name + ':' + f.size; })()"),
              "\"封面.png:321\"");
    EXPECT_EQ(automation().form_upload_file(handle(), BrowserAutomation::kVideoChooser, files.str() + "/none.mp4"), 0);
}

TEST_F(ElementOperations, AFileChooserThePageOpensGetsTheFileWithoutADialog) {
    TempDir files;
    auto video = files.write("片.mp4", std::string(777, 'v'));
    ASSERT_EQ(automation().form_forward_url(handle(), url("/chooser.html")), 1);
    EXPECT_EQ(automation().form_upload_file(handle(), BrowserAutomation::kVideoChooser, video.string()), 0);
    EXPECT_EQ(automation().form_dom_click(handle(), "#pick", 0), 1);
    std::string picked;
    pollUntil([&] { return (picked = js("picked")) != "null"; }, std::chrono::seconds(5));
    EXPECT_EQ(picked, "\"片.mp4:777\"");
}

TEST_F(ElementOperations, PageStateAndLoadWaits) {
    EXPECT_EQ(automation().form_get_page_url(handle()), url("/elements.html"));
    EXPECT_NE(automation().form_get_html(handle()).find("class=\"list\""), std::string::npos);
    EXPECT_EQ(automation().form_page_isloaded(handle()), 1);
    EXPECT_EQ(automation().form_page_wait_loaded(handle(), "标签", 5000), 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(automation().form_page_wait_loaded(handle(), "不在页面上", 400), 0);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(350));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
}

TEST_F(ElementOperations, DialogsAndLeavingThePageDoNotBlock) {
    ASSERT_EQ(automation().form_forward_url(handle(), url("/leave.html")), 1);
    EXPECT_EQ(automation().form_dom_click(handle(), "#b", 0), 1);  // opens an alert; also gives the page a gesture
    EXPECT_EQ(automation().form_dom_count(handle(), "#b"), 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(automation().form_forward_url(handle(), url("/elements.html")), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(automation().form_get_page_url(handle()), url("/elements.html"));
}

TEST_F(ElementOperations, TitleAndVersion) {
    EXPECT_EQ(automation().form_set_window_title(handle(), "等待载入"), 1);
    EXPECT_EQ(js("document.title"), "\"等待载入\"");
    std::string version = automation().form_get_version(handle());
    for (const char* key : {"\"Browser\"", "\"V8-Version\"", "\"User-Agent\"", "\"Protocol-Version\"", "\"WebKit-Version\""}) {
        EXPECT_NE(version.find(key), std::string::npos) << key;
    }
}

TEST_F(ElementOperations, AHandleThatNamesNoBrowserIsHarmless) {
    const int none = 4711;
    EXPECT_EQ(automation().form_session_isconnected(none), 0);
    EXPECT_EQ(automation().form_dom_click(none, ".btn", 0), 0);
    EXPECT_EQ(automation().form_dom_gettext(none, ".item", 0), "");
    EXPECT_EQ(automation().form_get_page_url(none), "");
    EXPECT_EQ(automation().form_get_version(none), "");
    EXPECT_EQ(automation().form_close_browser(none), 0);
    EXPECT_EQ(automation().form_set_window_title(none, "x"), 0);
}

}  // namespace
}  // namespace clipmill::testing
