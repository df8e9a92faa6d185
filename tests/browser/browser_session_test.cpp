#include "browser/browser_session.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include "browser/cdp/cdp_automation.h"
#include "browser/cdp/launcher.h"
#include "fixtures/browser_test_support.h"
#include "fixtures/recording_dialogs.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;


// A session of the real automation against the practice site, with its program folder in a
// temporary folder; every browser it reached is closed afterwards.
class BrowserSessionTest : public ::testing::Test {
protected:
    BrowserSessionTest()
        : site_(programDir_.str() + "/record.jsonl"),
          window_(controlTable()),
          automation_({programDir_.str() + "/huancun", cdp::BrowserMode::Headless}),
          session_({automation_, window_, dialogs_, clock_, programDir_.str(),
                    {site_.url("/video/upload.html"), site_.url("/login")}, [] { return ScreenSize{1366, 768}; }}),
          waiter_(clock_, stop_),
          context_{waiter_, [] { return false; }} {
        session_.initBrowserEnvironment(InitOrder::StartUp);
    }
    ~BrowserSessionTest() override {
        automation_.form_close_browsers();
        helperAutomation_.form_close_browsers();
    }

    // 1 when the upload page of a usable account shows.
    int open(const std::string& accountId) {
        opened_ = session_.openUploadPage(accountId, context_);
        return opened_.shown ? 1 : 0;
    }
    std::string pageUrl() { return automation_.form_get_page_url(session_.handle()); }
    std::string js(const std::string& script) {
        auto browser = automation_.browser(session_.handle());
        return browser ? browser->page()->evaluate(script).text() : "<none>";
    }
    std::string profile(const std::string& name) { return programDir_.str() + "/huancun/" + name; }
    // Starts a browser from another process, which ends and leaves it running.
    void startFromOtherProcess(const std::string& profileName) {
        std::string out = runAndRead({BROWSER_HELPER_PROGRAM, "start", programDir_.str() + "/huancun", profileName,
                                      site_.url("/video/upload.html")},
                                     30000);
        ASSERT_NE(out.find("started"), std::string::npos) << out;
    }

    TempDir programDir_;
    PracticeSite site_;
    WindowState window_;
    RecordingDialogs dialogs_;
    SystemClock clock_;
    cdp::CdpAutomation automation_;
    BrowserSession session_;
    StopSignal stop_;
    Waiter waiter_;
    PublishContext context_;
    PageOpening opened_;
    cdp::CdpAutomation helperAutomation_{{programDir_.str() + "/huancun", cdp::BrowserMode::Headless}};
};

TEST_F(BrowserSessionTest, AnEmptyIdStartsOnTheProfileOfAccount100AndShowsTheUploadPage) {
    EXPECT_EQ(open(""), 1);
    EXPECT_GT(session_.handle(), 0);
    EXPECT_TRUE(cdp::findRunningBrowser(profile("Norvane100")));
    EXPECT_EQ(pageUrl(), site_.url("/video/upload.html"));
    EXPECT_EQ(window_.statusPart("状态条1", 2), "已启动浏览器：0");
    EXPECT_FALSE(opened_.accountUnusable);
}

TEST_F(BrowserSessionTest, ABrowserOnAnotherAccountsProfileIsCountedButNeverUsed) {
    startFromOtherProcess("Norvane7");
    const int other = helperAutomation_.form_find_started(profile("Norvane7"));
    ASSERT_GT(other, 0);
    ASSERT_EQ(helperAutomation_.form_forward_url(other, site_.url("/login")), 1);

    EXPECT_EQ(open("8"), 1);
    EXPECT_EQ(window_.statusPart("状态条1", 2), "已启动浏览器：1");
    EXPECT_EQ(automation_.browser(session_.handle())->profileDir(), profile("Norvane8"));
    EXPECT_EQ(pageUrl(), site_.url("/video/upload.html"));
    EXPECT_EQ(helperAutomation_.form_get_page_url(other), site_.url("/login"));

    // The account whose browser it is gets it.
    EXPECT_EQ(open("7"), 1);
    EXPECT_EQ(automation_.browser(session_.handle())->profileDir(), profile("Norvane7"));
    EXPECT_EQ(window_.statusPart("状态条1", 2), "已启动浏览器：2");
}

TEST_F(BrowserSessionTest, ASecondConnectionReachesTheSameBrowser) {
    session_.startBrowser("5");
    ASSERT_GT(session_.handle(), 0);
    auto handles = helperAutomation_.form_connect_started();
    ASSERT_EQ(handles.size(), 1u);
    EXPECT_EQ(helperAutomation_.form_get_page_url(handles[0]), site_.url("/video/upload.html"));
    helperAutomation_.form_set_window_title(handles[0], "来自第二个连接");
    EXPECT_EQ(js("document.title"), "来自第二个连接");
    std::string out = runAndRead({BROWSER_HELPER_PROGRAM, "attach", programDir_.str() + "/huancun"}, 30000);
    EXPECT_NE(out.find("reached 1\nurl " + site_.url("/video/upload.html")), std::string::npos) << out;
}

TEST_F(BrowserSessionTest, TheUploadPageAlreadyShownIsNotReloaded) {
    ASSERT_EQ(open("1"), 1);
    js("window.marker = 'kept'");
    ASSERT_EQ(open("1"), 1);
    EXPECT_EQ(js("window.marker"), "kept");
    automation_.form_forward_url(session_.handle(), site_.url("/login"));
    ASSERT_EQ(open("1"), 1);
    EXPECT_EQ(pageUrl(), site_.url("/video/upload.html"));
}

TEST_F(BrowserSessionTest, BannedAndLoggedOutAccountsAreMarked) {
    struct Case {
        const char* state;
        int result;
        const char* mark;
    };
    ASSERT_EQ(open("1"), 1);
    for (const Case& c : {Case{"login", 0, "封禁或异常"}, Case{"banned", 0, "封禁或异常"}, Case{"login-query", 1, ""},
                          Case{"ok", 1, ""}}) {
        site_.setAccountState(c.state);
        // From another page, so that the upload page is asked for again.
        automation_.form_forward_url(session_.handle(), site_.url("/video/done.html"));
        EXPECT_EQ(open("1"), c.result) << c.state;
        EXPECT_EQ(opened_.accountUnusable, std::string(c.mark) == "封禁或异常") << c.state;
        EXPECT_EQ(opened_.failure.word, std::string(c.mark).empty() ? "" : "banned") << c.state;
    }
}

TEST_F(BrowserSessionTest, ClosingKeepsTheHandleAndLeavesItHarmless) {
    ASSERT_EQ(open("2"), 1);
    int handle = session_.handle();
    session_.closeBrowser();
    EXPECT_EQ(session_.handle(), handle);
    EXPECT_EQ(automation_.form_session_isconnected(handle), 0);
    session_.setBrowserTitle("已关闭");
    session_.closeBrowser();
    EXPECT_FALSE(cdp::findRunningBrowser(profile("Norvane2")));
    // The next account gets a browser of its own.
    ASSERT_EQ(open("3"), 1);
    EXPECT_NE(session_.handle(), handle);
    EXPECT_EQ(automation_.browser(session_.handle())->profileDir(), profile("Norvane3"));
}

TEST_F(BrowserSessionTest, KillingTheBrowserFailsTheCallAndTheNextOpenStartsAFreshOne) {
    ASSERT_EQ(open("4"), 1);
    int handle = session_.handle();
    int pid = cdp::browserPidFromProfile(profile("Norvane4"));
    ASSERT_GT(pid, 0);
    auto waiting = std::async(std::launch::async, [&] {
        auto start = std::chrono::steady_clock::now();
        int result = automation_.form_page_wait_loaded(handle, "永远不会出现", 60000);
        return std::make_pair(result, std::chrono::steady_clock::now() - start);
    });
    std::this_thread::sleep_for(500ms);
    kill(pid, SIGKILL);
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    auto [result, took] = waiting.get();
    EXPECT_EQ(result, 0);
    EXPECT_LT(took, 5s);
    EXPECT_EQ(automation_.form_dom_count(handle, "body"), 0);

    ASSERT_EQ(open("4"), 1);
    EXPECT_NE(session_.handle(), handle);
    EXPECT_NE(cdp::browserPidFromProfile(profile("Norvane4")), pid);
    EXPECT_EQ(pageUrl(), site_.url("/video/upload.html"));
}

TEST_F(BrowserSessionTest, GivingUpEndsTheWaitForABrowserThatDoesNotStart) {
    cdp::CdpAutomation broken({programDir_.str() + "/huancun", cdp::BrowserMode::Headless});
    RecordingDialogs dialogs;
    BrowserSession session({broken, window_, dialogs, clock_, programDir_.str(),
                            {site_.url("/video/upload.html"), site_.url("/login")}, nullptr});
    // No executable: nothing can start.
    int gaveUp = 0;
    PublishContext context{waiter_, [&] { return ++gaveUp >= 2; }};
    auto start = std::chrono::steady_clock::now();
    const PageOpening opening = session.openUploadPage("9", context);
    EXPECT_FALSE(opening.shown);
    EXPECT_TRUE(opening.gaveUp);
    EXPECT_EQ(gaveUp, 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
}

TEST_F(BrowserSessionTest, VersionCaption) {
    session_.showBrowserVersion();
    EXPECT_EQ(window_.caption("标签_版本"),
              "浏览器版本：\r\nV8引擎版本：\r\nUA：\r\n协议版本：\r\nwebkit版本：\r\n软件版本：8.8");
    session_.startBrowser("6");
    session_.showBrowserVersion();
    std::string caption = window_.caption("标签_版本");
    EXPECT_TRUE(caption.starts_with("浏览器版本：HeadlessChrome/") || caption.starts_with("浏览器版本：Chrome/")) << caption;
    EXPECT_NE(caption.find("\r\nUA：Mozilla/5.0"), std::string::npos) << caption;
}

}  // namespace
}  // namespace clipmill::testing
