#include <gtest/gtest.h>

#include <chrono>

#include "browser/browser_session.h"
#include "browser/cdp/cdp_automation.h"
#include "fixtures/browser_test_support.h"
#include "fixtures/loopback_http_server.h"
#include "fixtures/poll_until.h"
#include "fixtures/recording_dialogs.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

using namespace std::chrono_literals;

const char* kPastePage = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"><title>粘贴</title></head><body>
<div class="ql-editor" contenteditable="true"></div></body></html>)HTML";

// The id of the window whose title is exactly `title`, waiting for it to appear; "" if none.
std::string windowNamed(const std::string& title) {
    std::string id;
    pollUntil(
        [&] {
            std::string out = runAndRead({"xdotool", "search", "--name", "^" + title + "$"});
            id = out.substr(0, out.find('\n'));
            return !id.empty();
        },
        5s, 100ms);
    return id;
}

// Another X client that owns the clipboard with `text` from its construction (once the owner
// answers for it) to its end.
class XClipboardOwner {
public:
    XClipboardOwner(const TempDir& dir, const std::string& text)
        : file_(dir.write("clip.txt", text)),
          owner_({"xclip", "-quiet", "-selection", "clipboard", "-i", file_.string()}) {
        auto owned = [&] { return runAndRead({"xclip", "-o", "-selection", "clipboard"}) == text + "\n"; };
        if (!pollUntil(owned, 5s)) throw std::runtime_error("xclip did not take the clipboard");
    }

private:
    std::filesystem::path file_;
    ChildProcess owner_;
};

// A headed browser on a display of our own, as users see it.
class HeadedBrowser : public ::testing::Test {
protected:
    HeadedBrowser()
        : pages_(std::map<std::string, std::string>{{"/paste.html", kPastePage}}),
          site_(programDir_.str() + "/record.jsonl"),
          window_(controlTable()),
          automation_({programDir_.str() + "/huancun", cdp::BrowserMode::Headed}),
          session_({automation_, window_, dialogs_, clock_, programDir_.str(),
                    {site_.url("/video/upload.html"), site_.url("/login")}, [] { return ScreenSize{1281, 1024}; }}) {
        session_.initBrowserEnvironment(InitOrder::StartUp);
    }
    ~HeadedBrowser() override { automation_.form_close_browsers(); }

    VirtualDisplay display_{1281, 1024};
    TempDir programDir_;
    PageServer pages_;
    PracticeSite site_;
    WindowState window_;
    RecordingDialogs dialogs_;
    SystemClock clock_;
    cdp::CdpAutomation automation_;
    BrowserSession session_;
};

TEST_F(HeadedBrowser, TheWindowShowsTheTitleAtTheStartPositionAndSize) {
    session_.startBrowser("1");
    std::string id = windowNamed("载入成功 - Chromium");
    ASSERT_FALSE(id.empty());
    std::string geometry = runAndRead({"xdotool", "getwindowgeometry", id});
    EXPECT_NE(geometry.find("Position: 1,1"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 640x882"), std::string::npos) << geometry;  // 1281 / 2, 1024 - 142
    session_.setBrowserTitle("进度：45%");
    EXPECT_FALSE(windowNamed("进度：45% - Chromium").empty());
}

// Another X client takes the clipboard, as the program's window does before each paste; every
// Ctrl+V pastes what it holds at that moment. A Chromium that has only just started pastes
// nothing from another client for a moment, so the test first waits until a paste arrives.
TEST_F(HeadedBrowser, CtrlVPastesTheSystemClipboard) {
    session_.startBrowser("2");
    int handle = session_.handle();
    ASSERT_EQ(automation_.form_forward_url(handle, pages_.url("/paste.html")), 1);
    auto editorText = [&] { return automation_.form_dom_gettext(handle, "div.ql-editor", 0); };
    auto paste = [&] {
        return automation_.form_dom_focus(handle, "div.ql-editor", 0) == 1 &&
               automation_.form_analog_keyboard_ex(handle, "86", 2) == 1;
    };
    {
        XClipboardOwner owner(programDir_, "预热");
        bool pasteWorked = true;
        auto pastedSomething = [&] {
            if (!editorText().empty()) return true;
            pasteWorked = paste();
            return !pasteWorked;  // a paste that failed ends the wait
        };
        ASSERT_TRUE(pollUntil(pastedSomething, 10s, 100ms)) << "the browser never pasted from the X clipboard";
        ASSERT_TRUE(pasteWorked);
        ASSERT_EQ(automation_.form_dom_settext(handle, "div.ql-editor", "", 0), 1);
    }
    std::string expected;
    for (std::string text : {"简介：第一行", "第二段"}) {
        XClipboardOwner owner(programDir_, text);
        ASSERT_TRUE(paste());
        expected += text;
        std::string pasted;
        pollUntil([&] { return (pasted = editorText()) == expected; }, 5s, 50ms);
        EXPECT_EQ(pasted, expected);
    }
}

}  // namespace
}  // namespace clipmill::testing
