// The update check and the self-update against a practice copy of the maker's server.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "fixtures/maker_server.h"
#include "fixtures/poll_until.h"
#include "fixtures/recording_dialogs.h"
#include "fixtures/recording_startup_view.h"
#include "fixtures/scoped_env.h"
#include "fixtures/temp_dir.h"
#include "net/digest.h"
#include "net/segmented_downloader.h"
#include "settings/control_table.h"
#include "settings/window_state.h"
#include "update/self_update.h"

namespace clipmill {
namespace {

namespace fs = std::filesystem;
using testing::MakerServer;
using testing::RecordingDialogs;
using testing::RecordingStartupView;
using testing::TempDir;

TEST(UpdateTexts, VersionsCompareAsText) {
    EXPECT_EQ(checkVersion("8.8"), "1");
    for (const char* other : {"8.80", "8.7", "", " 8.8"}) EXPECT_EQ(checkVersion(other), "0") << other;
}

TEST(UpdateTexts, ProgressWithUpToThirteenDigits) {
    EXPECT_EQ(progressText(2048, 4096), "已下载：2kb/4kb\r\n进度：50%");
    EXPECT_EQ(progressText(4096, 4096), "已下载：4kb/4kb\r\n进度：100%");
    EXPECT_EQ(progressText(1536, 4096), "已下载：1.5kb/4kb\r\n进度：37.5%");
    EXPECT_EQ(progressText(1, 3072), "已下载：0.0009765625kb/3kb\r\n进度：0.03255208333333%");
}

class SelfUpdateTest : public ::testing::Test {
protected:
    SelfUpdateTest() : home("HOME", dir.str()), waiter(clock, stop) {
        server.write("test.txt", "ok");
        release = std::string(3 * 1024 * 1024 + 17, 'r');
        server.write("new/clipmill-8.9", release);
    }
    void publishIndex(const std::string& version, const std::string& sha256) {
        server.write("clipmill/index.json", R"({"版本":")" + version + R"(","更新说明":"修复了上传","文件名":"clipmill-8.9",)" +
                                                R"("下载地址":")" + server.url("new/clipmill-8.9") + R"(","sha256":")" +
                                                sha256 + "\"}");
    }
    SelfUpdate makeUpdate(std::vector<std::string> servers) {
        auto log = [this](const std::string& line) {
            std::lock_guard lock(logMutex);
            logLines.push_back(line);
        };
        return SelfUpdate({UpdateServers{std::move(servers), "clipmill"}, dir.path() / "app", log, view, dialogs,
                           downloader, waiter});
    }
    std::vector<std::string> loggedLines() {
        std::lock_guard lock(logMutex);
        return logLines;
    }

    TempDir dir;
    testing::ScopedEnv home;
    MakerServer server;
    std::string release;
    RecordingStartupView view;
    RecordingDialogs dialogs;
    SystemClock clock;
    StopSignal stop;
    Waiter waiter;
    std::mutex logMutex;
    std::vector<std::string> logLines;
    net::SegmentedDownloader downloader;
};

TEST_F(SelfUpdateTest, ANewerVersionIsDownloadedCheckedAndOfferedToStart) {
    fs::create_directories(dir.path() / "app");
    publishIndex("8.9", net::sha256Hex(release));
    dialogs.defaultAnswer = true;
    SelfUpdate update = makeUpdate({server.baseUrl()});
    update.startupUpdateStep();
    ASSERT_TRUE(view.waitFor("open shown"));

    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, RecordingDialogs::Kind::OkCancel);
    EXPECT_EQ(dialogs.shown[0].title, "发现新版本，是否更新");
    EXPECT_EQ(dialogs.shown[0].text, "发现新版本：v8.9，更新内容：\r\n修复了上传");
    const fs::path file = dir.path() / "app" / "clipmill-8.9";
    EXPECT_EQ(net::sha256FileHex(file.string()), net::sha256Hex(release));
    EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_exec, fs::perms::none);
    const auto events = view.events();
    EXPECT_EQ(events[0], "part0=版本v8.8");
    EXPECT_EQ(events[1], "part1=华北多线服务器正常");
    EXPECT_EQ(events[2], "window back");
    EXPECT_EQ(events[3], "label=开始更新");
    EXPECT_EQ(events[4], "open=打开：clipmill-8.9");
    EXPECT_EQ(events[events.size() - 3], "label=" + progressText(release.size(), release.size()));
    EXPECT_EQ(events[events.size() - 2], "label=更新结束");
    EXPECT_EQ(events.back(), "open shown");
    EXPECT_TRUE(fs::exists(dir.path() / "Desktop" / "Clipmill.desktop"));
    const std::vector<std::string> milestones{"显示版本号8.8", "版本检查结果1是最新版：0", "启动升级程序检查",
                                              "升级文件获取到数据", "提醒用户升级"};
    EXPECT_EQ(loggedLines(), milestones);
}

TEST_F(SelfUpdateTest, TheSameVersionAsksNothing) {
    publishIndex("8.8", "");
    makeUpdate({server.baseUrl()}).startupUpdateStep();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(view.events(), std::vector<std::string>{"part0=版本v8.8"});
    EXPECT_EQ(loggedLines(), (std::vector<std::string>{"显示版本号8.8", "版本检查结果1是最新版：1"}));
}

TEST_F(SelfUpdateTest, CancelDownloadsNothing) {
    publishIndex("8.9", "");
    dialogs.defaultAnswer = false;
    makeUpdate({server.baseUrl()}).startupUpdateStep();
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(server.requests("/new/clipmill-8.9").empty());
}

TEST_F(SelfUpdateTest, TheFirstServerThatAnswersOkServes) {
    MakerServer wrongProbe;
    wrongProbe.write("test.txt", "ok\n");
    publishIndex("8.9", "");
    SelfUpdate update = makeUpdate({"http://127.0.0.1:1/", wrongProbe.baseUrl(), server.baseUrl()});
    update.runUpdate();
    EXPECT_EQ(view.events().at(0), "part1=上海服务器正常");
    EXPECT_EQ(server.requests("/clipmill/index.json").size(), 1u);

    SelfUpdate second = makeUpdate({"http://127.0.0.1:1/", server.baseUrl()});
    second.runUpdate();
    EXPECT_EQ(view.events().back(), "part1=广州服务器正常");
}

TEST_F(SelfUpdateTest, AReleaseWithAnotherHashIsDeletedAndNeverOffered) {
    fs::create_directories(dir.path() / "app");
    publishIndex("8.9", std::string(64, '0'));
    dialogs.defaultAnswer = true;
    SelfUpdate update = makeUpdate({server.baseUrl()});
    update.runUpdate();
    ASSERT_TRUE(view.waitFor(std::string("label=") + SelfUpdate::kFailedText));
    EXPECT_FALSE(fs::exists(dir.path() / "app" / "clipmill-8.9"));
    EXPECT_FALSE(update.openLatest());
    const auto events = view.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "open shown"), 0);
}

TEST_F(SelfUpdateTest, AFailedDownloadSaysSoAndAnIndexFileNameWithAFolderIsRefused) {
    fs::create_directories(dir.path() / "app");
    server.write("clipmill/index.json", R"({"版本":"8.9","文件名":"clipmill-8.9","下载地址":")" +
                                            server.url("missing") + "\"}");
    dialogs.defaultAnswer = true;
    makeUpdate({server.baseUrl()}).runUpdate();
    EXPECT_EQ(view.events().back(), "open=打开：clipmill-8.9");  // a start that fails reports nothing

    server.write("clipmill/index.json", R"({"版本":"8.9","文件名":"../evil","下载地址":")" +
                                            server.url("new/clipmill-8.9") + "\"}");
    makeUpdate({server.baseUrl()}).runUpdate();
    EXPECT_EQ(view.events().back(), std::string("label=") + SelfUpdate::kFailedText);
    EXPECT_FALSE(fs::exists(dir.path() / "evil"));
}

TEST_F(SelfUpdateTest, TheVersionLoopShowsCurrentAndNewestEveryMinute) {
    publishIndex("8.9", "");
    WindowState window(controlTable());
    FakeClock fake;
    StopSignal loopStop;
    Waiter loopWaiter(fake, loopStop);
    std::thread loop([&] { showVersionLoop(UpdateServers{{server.baseUrl()}, "clipmill"}, window, loopWaiter); });
    auto versionsShown = [&](const std::string& text) {
        return testing::pollUntil([&] { return window.statusPart("状态条1", 3) == text; }, std::chrono::seconds(5))
               << "shown: " << window.statusPart("状态条1", 3);
    };
    EXPECT_TRUE(versionsShown("当前：8.8   最新版：8.9"));
    publishIndex("8.8", "");
    EXPECT_TRUE(versionsShown("当前：8.8   最新版：8.8"));
    loopStop.request();
    loop.join();
    EXPECT_GE(fake.now(), Millis(66000));
}

TEST_F(SelfUpdateTest, NoServersMeansNoRequestAndNoPrompt) {
    makeUpdate({}).startupUpdateStep();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
}  // namespace clipmill
