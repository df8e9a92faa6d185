#include <gtest/gtest.h>

#include "browser/browser_session.h"
#include "fixtures/recording_automation.h"
#include "fixtures/recording_dialogs.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

struct Rig {
    RecordingAutomation automation;
    WindowState window{controlTable()};
    RecordingDialogs dialogs;
    SystemClock clock;
    BrowserSession session{{automation, window, dialogs, clock, "/opt/clipmill", defaultSiteAddresses(),
                            [] { return ScreenSize{1365, 768}; }}};
};

TEST(BrowserEnvironment, AttemptsInTheOrderAskedAndComplainsWhenBothFail) {
    struct Case {
        const char* name;
        InitOrder order;
        int handleBefore;
        std::vector<int> results;  // of the successive form_global_init calls
        std::vector<std::string> calls;
        bool complains;
    };
    const std::string configured = "form_global_init(/opt/chrome/chrome)";
    const std::string automatic = "form_global_init()";
    const std::vector<Case> cases{
        {"start-up, automatic works", InitOrder::StartUp, 0, {1}, {automatic}, false},
        {"start-up, configured after automatic", InitOrder::StartUp, 0, {0, 1}, {automatic, configured}, false},
        {"start-up, neither", InitOrder::StartUp, 0, {0, 0}, {automatic, configured}, true},
        {"start-up with a browser already", InitOrder::StartUp, 3, {1}, {}, false},
        {"button, configured works", InitOrder::Button, 3, {1}, {configured}, false},
        {"button, automatic after configured", InitOrder::Button, 0, {0, 1}, {configured, automatic}, false},
        {"button, neither", InitOrder::Button, 0, {0, 0}, {configured, automatic}, true},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.window.setText("编辑框_google", "/opt/chrome/chrome");
        rig.window.setEnabled("按钮_手动初始化", false);
        rig.automation.scriptResults("form_global_init", {c.results.begin(), c.results.end()});
        if (c.handleBefore) rig.session.onBrowserConnected(c.handleBefore);
        rig.session.initBrowserEnvironment(c.order);
        EXPECT_EQ(rig.automation.callsWithArguments(), c.calls) << c.name;
        EXPECT_EQ(rig.dialogs.shown.size(), c.complains ? 1u : 0u) << c.name;
        if (c.complains)
            EXPECT_EQ(rig.dialogs.shown[0], (RecordingDialogs::Shown{RecordingDialogs::Kind::Information,
                                                                     "请下载安装谷歌浏览器后再使用", "信息："}))
                << c.name;
        EXPECT_EQ(rig.window.enabled("按钮_手动初始化"), c.complains) << c.name;
    }
}

TEST(BrowserEnvironment, TheConnectCallbackSetsTheHandle) {
    Rig rig;
    rig.automation.scriptResults("form_global_init", {1});
    rig.session.initBrowserEnvironment(InitOrder::StartUp);
    auto onConnect = rig.automation.connectCallback();
    ASSERT_TRUE(onConnect);
    onConnect(42);
    EXPECT_EQ(rig.session.handle(), 42);
}

TEST(BrowserStartRecord, ProfileFolderAndWindowSize) {
    Rig rig;
    EXPECT_EQ(rig.session.profileDirectory(""), "/opt/clipmill/huancun/Norvane100");
    EXPECT_EQ(rig.session.profileDirectory("a7"), "/opt/clipmill/huancun/Norvanea7");
    auto record = rig.session.startRecord("");
    EXPECT_EQ(record.windowSize, "682.5,626");
    EXPECT_EQ(record.windowPosition, "1,1");
    struct Case {
        int width, height;
        const char* text;
    };
    for (const Case& c : {Case{1920, 1080, "960,938"}, Case{1366, 768, "683,626"}, Case{1365, 768, "682.5,626"}}) {
        EXPECT_EQ(BrowserSession::windowSizeText(c.width, c.height), c.text);
    }
}

TEST(BrowserStartRecord, StartLoadsTheUploadPageAndTitlesTheWindow) {
    Rig rig;
    rig.automation.scriptResults("form_browser_start", {0});
    rig.session.onBrowserConnected(9);
    rig.session.startBrowser("");
    EXPECT_EQ(rig.automation.callsWithArguments(),
              (std::vector<std::string>{
                  "form_browser_start(https://member.bilibili.com/video/upload.html,/opt/clipmill/huancun/Norvane100,"
                  "682.5,626,1,1)",
                  "form_set_window_title(9,等待载入)", "form_page_wait_loaded(9,拖拽视频,15000)",
                  "form_set_window_title(9,载入成功)"}));
}

}  // namespace
}  // namespace clipmill::testing
