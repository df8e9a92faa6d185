#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "browser/browser_session.h"
#include "browser/cdp/cdp_automation.h"
#include "browser_test_support.h"
#include "fixtures/chromium_clipboard.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

using namespace std::chrono_literals;

const char* kPastePage = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"><title>粘贴</title></head><body>
<p class="source">简介：第一行</p><div class="ql-editor" contenteditable="true"></div></body></html>)HTML";

class NoDialogs final : public Dialogs {
public:
    void information(const std::string&, const std::string&) override {}
    bool confirm(const std::string&, const std::string&) override { return false; }
};

// The id of the window whose title is exactly `title`, waiting for it to appear; "" if none.
std::string windowNamed(const std::string& title) {
    for (int i = 0; i < 50; ++i) {
        std::string out = runAndRead({"xdotool", "search", "--name", "^" + title + "$"});
        auto newline = out.find('\n');
        if (newline != std::string::npos && newline > 0) return out.substr(0, newline);
        std::this_thread::sleep_for(100ms);
    }
    return {};
}

// A headed browser on a display of our own, as users see it.
class HeadedBrowser : public ::testing::Test {
protected:
    HeadedBrowser()
        : pages_(std::map<std::string, std::string>{{"/paste.html", kPastePage}}),
          site_(programDir_.str() + "/record.jsonl"),
          window_(controlTable()),
          automation_({programDir_.str() + "/huancun", cdp::BrowserMode::Headed}),
          session_({automation_, window_, accounts_, dialogs_, clock_, programDir_.str(),
                    {site_.url("/video/upload.html"), site_.url("/login")}, [] { return ScreenSize{1281, 1024}; }}) {
        session_.initBrowserEnvironment(InitOrder::StartUp);
    }
    ~HeadedBrowser() override { automation_.form_close_browsers(); }

    VirtualDisplay display_{1281, 1024};
    TempDir programDir_;
    FixtureServer pages_;
    PracticeSite site_;
    WindowState window_;
    AccountTable accounts_;
    NoDialogs dialogs_;
    SystemClock clock_;
    cdp::CdpAutomation automation_;
    BrowserSession session_;
};

TEST_F(HeadedBrowser, TheWindowShowsTheTitleAtTheStartPositionAndSize) {
    ASSERT_EQ(session_.startBrowser("1"), 1);
    std::string id = windowNamed("载入成功 - Chromium");
    ASSERT_FALSE(id.empty());
    std::string geometry = runAndRead({"xdotool", "getwindowgeometry", id});
    EXPECT_NE(geometry.find("Position: 1,1"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 640x882"), std::string::npos) << geometry;  // 1281 / 2, 1024 - 142
    session_.setBrowserTitle("进度：45%");
    EXPECT_FALSE(windowNamed("进度：45% - Chromium").empty());
}

TEST_F(HeadedBrowser, CtrlVPastesTheSystemClipboard) {
    ASSERT_EQ(session_.startBrowser("2"), 1);
    int handle = session_.handle();
    ASSERT_EQ(automation_.form_forward_url(handle, pages_.url("/paste.html")), 1);
    auto page = automation_.browser(handle)->page();
    page->evaluate("(() => { const r = document.createRange(); r.selectNodeContents(document.querySelector('.source'));"
                   " getSelection().removeAllRanges(); getSelection().addRange(r); return true; })()");
    ASSERT_EQ(automation_.form_analog_keyboard_ex(handle, "67", 2), 1);
    // The copy reaches the X clipboard a moment after the key; on a busy machine that moment is long.
    ChromiumClipboard desktop(automation_, [handle] { return handle; });
    std::string copied;
    for (int i = 0; i < 100 && copied != "简介：第一行"; ++i) {
        copied = desktop.text();
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(copied, "简介：第一行");
    // A fresh page shows the paste comes from the X clipboard, not from the page's own state.
    ASSERT_EQ(automation_.form_forward_url(handle, pages_.url("/paste.html")), 1);
    ASSERT_EQ(automation_.form_dom_focus(handle, "div.ql-editor", 0), 1);
    ASSERT_EQ(automation_.form_analog_keyboard_ex(handle, "86", 2), 1);
    std::string pasted;
    for (int i = 0; i < 100 && pasted.empty(); ++i) {
        pasted = automation_.form_dom_gettext(handle, "div.ql-editor", 0);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(pasted, "简介：第一行");
}

}  // namespace
}  // namespace clipmill::testing
