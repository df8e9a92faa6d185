#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "browser/cdp/browser.h"
#include "browser/cdp/json.h"
#include "browser/cdp/launcher.h"
#include "browser/interrupt.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using cdp::jsonObject;

cdp::LaunchOptions headlessOn(const std::string& profile) {
    cdp::LaunchOptions options;
    options.executable = cdp::findBrowserExecutable("");
    options.profileDir = profile;
    options.headless = true;
    return options;
}

TEST(Launcher, TheConfiguredBrowserMustBeRunnableAndNoneConfiguredFindsOne) {
    TempDir dir;
    auto runnable = dir.write("bin/my-chrome", "#!/bin/sh\n");
    fs::permissions(runnable, fs::perms::owner_all);
    auto plain = dir.write("bin/readme.txt", "not a program");
    EXPECT_EQ(cdp::findBrowserExecutable(runnable.string()), runnable.string());
    EXPECT_EQ(cdp::findBrowserExecutable(plain.string()), "");
    EXPECT_EQ(cdp::findBrowserExecutable(dir.str() + "/bin"), "");
    EXPECT_EQ(cdp::findBrowserExecutable(dir.str() + "/bin/missing"), "");
    EXPECT_FALSE(cdp::findBrowserExecutable("").empty());
}

class RunningBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        // A port file left by a browser that is gone must not stop the launch.
        dir_->write("profile/DevToolsActivePort", "1\n/devtools/browser/gone\n");
        auto options = headlessOn(dir_->str() + "/profile");
        options.startUrl = "about:blank";
        launched_ = cdp::launchBrowser(options);
    }
    static void TearDownTestSuite() {
        if (launched_.pid > 0) kill(launched_.pid, SIGKILL);
        dir_.reset();
    }
    void connect() {
        ASSERT_TRUE(launched_.ok) << launched_.error;
        std::string error;
        browser_ = cdp::ChromiumBrowser::connect(launched_.endpoint, dir_->str() + "/profile", error);
        ASSERT_TRUE(browser_) << error;
        page_ = browser_->page();
        ASSERT_TRUE(page_);
    }
    // Evaluates a promise that never settles: the reply comes only when something ends the call.
    const std::string never = jsonObject({{"expression", "new Promise(() => {})"}, {"awaitPromise", true}});

    static inline std::unique_ptr<TempDir> dir_;
    static inline cdp::LaunchResult launched_;
    std::shared_ptr<cdp::ChromiumBrowser> browser_;
    std::shared_ptr<cdp::PageSession> page_;
};

TEST_F(RunningBrowser, ALaunchOnAProfileInUseReattaches) {
    ASSERT_TRUE(launched_.ok) << launched_.error;
    EXPECT_FALSE(launched_.reattached);
    auto again = cdp::launchBrowser(headlessOn(dir_->str() + "/profile"));
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_TRUE(again.reattached);
    EXPECT_EQ(again.endpoint.port, launched_.endpoint.port);
    EXPECT_EQ(cdp::browserPidFromProfile(dir_->str() + "/profile"), launched_.pid);
}

TEST_F(RunningBrowser, ACallTimesOutAndAStopEndsItsWaitEarly) {
    ASSERT_NO_FATAL_FAILURE(connect());
    auto& page = page_;

    auto start = std::chrono::steady_clock::now();
    auto reply = page->connection().call("Runtime.evaluate", never, page->sessionId(), 300ms);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(reply.ok);
    EXPECT_NE(reply.error.find("timed out"), std::string::npos) << reply.error;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 2s);

    StopSignal stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        stop.request();
    });
    start = std::chrono::steady_clock::now();
    {
        InterruptScope scope(stop);
        reply = page->connection().call("Runtime.evaluate", never, page->sessionId(), 30s);
    }
    stopper.join();
    EXPECT_FALSE(reply.ok);
    EXPECT_NE(reply.error.find("stopped"), std::string::npos) << reply.error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    // The connection is still good for the next call.
    EXPECT_EQ(page->evaluate("6 * 7").integer(), 42);
}

TEST_F(RunningBrowser, EveryPendingCallFailsWhenTheConnectionDrops) {
    ASSERT_NO_FATAL_FAILURE(connect());
    auto& page = page_;
    std::vector<cdp::PendingCall> pending;
    for (int i = 0; i < 3; ++i) pending.push_back(page->connection().send("Runtime.evaluate", never, page->sessionId()));
    std::this_thread::sleep_for(100ms);
    kill(launched_.pid, SIGKILL);
    auto start = std::chrono::steady_clock::now();
    for (auto& call : pending) {
        auto reply = call.wait(20s);
        EXPECT_FALSE(reply.ok);
        EXPECT_NE(reply.error.find("connection lost"), std::string::npos) << reply.error;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    auto late = page->connection().call("Browser.getVersion");
    EXPECT_NE(late.error.find("not connected"), std::string::npos) << late.error;
    EXPECT_FALSE(cdp::findRunningBrowser(dir_->str() + "/profile"));
}

}  // namespace
}  // namespace clipmill::testing
