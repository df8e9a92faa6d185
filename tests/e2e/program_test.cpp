#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/relaunch.h"
#include "program_fixture.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

// Where the buttons sit in the main window.
constexpr int kCloseButtonX = 964, kCloseButtonY = 28;    // 关闭软件
constexpr int kRestartButtonX = 885, kRestartButtonY = 28;  // 重启软件

const char* const kMainWindow = "Clipmillv8.8";


using ProgramRun = ProgramTest;

TEST_F(ProgramRun, StartsThroughTheStartupWindowLogsAndEndsWithTheCloseButton) {
    startProgram();
    ASSERT_FALSE(waitForWindow("Clipmill$", 15000).empty()) << "no start-up window";
    const std::string main = waitForWindow(kMainWindow, 15000);
    ASSERT_FALSE(main.empty()) << "no main window";
    EXPECT_TRUE(xdotool({"search", "--onlyvisible", "--name", "^Clipmill$"}).empty()) << "start-up window still shown";

    const std::string log = readLog();
    const auto created = log.find("   启动窗口创建完毕\r\n");
    const auto thread = log.find("   启动窗口线程\r\n");
    ASSERT_NE(created, std::string::npos) << log;
    ASSERT_NE(thread, std::string::npos) << log;
    EXPECT_LT(thread, created) << "the newest line comes first";

    clickInWindow(main, kCloseButtonX, kCloseButtonY);
    EXPECT_EQ(waitForExit(5000), 0);
    const std::string settings = settingsText();
    EXPECT_NE(settings.find("编辑框_单账号上传=3\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("[组合框]"), std::string::npos);
    EXPECT_EQ(settings.find("[pz]"), std::string::npos) << "关闭软件 does not store the zone selection";
}

TEST_F(ProgramRun, HotKeyPublishesTheVideosAndASecondPressStops) {
    addAccount("100", 1);
    addAccount("101", 1);
    writeSettings({{"编辑框_单账号上传", "1"}, {"编辑框_视频间隔", "0"}, {"编辑框_视频间隔1", "0"},
                   {"编辑框_混合标签个数", "2"}, {"编辑框_循环间隔", "2"}});
    startProgram();
    const std::string main = waitForWindow(kMainWindow, 5000);
    ASSERT_FALSE(main.empty());
    ASSERT_TRUE(waitForAccountList(2));
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(pollUntil([&] { return countIn(recordFile, "\"event\":\"submit\"") >= 2; }, std::chrono::seconds(240)))
        << "published " << countIn(recordFile, "\"event\":\"submit\"");
    EXPECT_TRUE(pollUntil([&] { return fs::is_empty(materialFolder("100")) && fs::is_empty(materialFolder("101")); },
                        std::chrono::seconds(10)))
        << "published videos are deleted";

    ASSERT_TRUE(stopRun());
    const int videosReceived = countIn(recordFile, "\"kind\":\"video\"");
    std::ofstream(materialFolder("100") / "新视频.mp4", std::ios::binary) << std::string(1000, 'n');
    // What is tested is that nothing happens: a run that went on would take up the new video
    // within a pass (two seconds apart) and the site would have it well within this time.
    std::this_thread::sleep_for(std::chrono::seconds(12));
    EXPECT_EQ(countIn(recordFile, "\"kind\":\"video\""), videosReceived) << "the run went on after Stop";
    EXPECT_TRUE(fs::exists(materialFolder("100") / "新视频.mp4"));

    closeFromTitleBar(main);
    EXPECT_EQ(waitForExit(5000), 0);
    EXPECT_NE(settingsText().find("[pz]"), std::string::npos) << "closing from the title bar stores the zone";
}

TEST_F(ProgramRun, RestartStartsTheProgramAgainFromAFolderWithSpacesAndQuotes) {
    startProgram();
    const std::string first = waitForWindow(kMainWindow, 5000);
    ASSERT_FALSE(first.empty());
    const std::string firstPid = xdotool({"getwindowpid", first});
    clickInWindow(first, kRestartButtonX, kRestartButtonY);
    EXPECT_EQ(waitForExit(5000), 0);
    std::string second, secondPid;
    ASSERT_TRUE(pollUntil(
        [&] {
            second = waitForWindow(kMainWindow, 200);
            secondPid = second.empty() ? "" : xdotool({"getwindowpid", second});
            return !secondPid.empty() && secondPid != firstPid && fs::exists("/proc/" + secondPid);
        },
        std::chrono::seconds(10)))
        << "no new copy of the program";
    EXPECT_EQ(fs::read_symlink("/proc/" + secondPid + "/exe"), programDir / "clipmill");
    clickInWindow(second, kCloseButtonX, kCloseButtonY);
    EXPECT_TRUE(pollUntil([&] { return !fs::exists("/proc/" + secondPid); }, std::chrono::seconds(5)));
}

TEST_F(ProgramRun, ASecondStartInTheSameFolderSaysSoAndEndsWhileTheFirstRunsOn) {
    startProgram();
    ASSERT_FALSE(waitForWindow(kMainWindow, 15000).empty());
    auto second = startAnotherCopy();
    const std::string box = waitForWindow("信息：", 15000);
    ASSERT_FALSE(box.empty()) << "no box from the second copy";
    EXPECT_EQ(xdotool({"getwindowpid", box}), std::to_string(second->pid()));
    xdotool({"windowfocus", "--sync", box});
    xdotool({"key", "--clearmodifiers", "Return"});
    EXPECT_EQ(second->wait(10000), 1);
    EXPECT_EQ(waitForExit(0), -1) << "the first copy runs on";
}

// A relaunched copy (a restart, a new release) waits for the one it replaces to end.
TEST_F(ProgramRun, AHandedOverStartWaitsForTheProgramItReplaces) {
    startProgram();
    const std::string first = waitForWindow(kMainWindow, 15000);
    ASSERT_FALSE(first.empty());
    auto next = startAnotherCopy({kHandoverArgument});
    EXPECT_EQ(next->wait(2000), -1);
    EXPECT_TRUE(waitForWindow("信息：", 0).empty());
    clickInWindow(first, kCloseButtonX, kCloseButtonY);
    EXPECT_EQ(waitForExit(5000), 0);
    std::string window;
    EXPECT_TRUE(pollUntil(
        [&] {
            window = waitForWindow(kMainWindow, 200);
            return !window.empty() && xdotool({"getwindowpid", window}) == std::to_string(next->pid());
        },
        std::chrono::seconds(15)))
        << "the handed-over copy never opened its main window";
}

}  // namespace
}  // namespace clipmill::testing
