#include "engine/run_controller.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <set>
#include <thread>

#include "engine/forbidden_hours.h"
#include "support/random.h"
#include "engine/run_harness.h"

namespace clipmill::testing {
namespace {

TEST(RunController, SuccessPauseCountsDownInTheListAndTheBrowserTitle) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "2"}, {"编辑框_视频间隔", "3"}, {"编辑框_视频间隔1", "3"}});
    h.addAccount("100", 2);
    h.runToEnd();

    const std::vector<std::string> countdown = {"延时3秒后继续", "延时2秒后继续", "延时1秒后继续", "延时0秒后继续"};
    auto status = h.cellHistory(0, kColumnStatus);
    std::vector<std::string> expected = {"耗时：1/300"};
    expected.insert(expected.end(), countdown.begin(), countdown.end());
    expected.push_back("");
    expected.push_back("耗时：1/300");
    expected.insert(expected.end(), countdown.begin(), countdown.end());
    expected.push_back("");
    EXPECT_EQ(status, expected);
    EXPECT_EQ(h.browser.titles(), std::vector<std::string>({countdown[1], countdown[2], countdown[3], countdown[1],
                                                            countdown[2], countdown[3]}));
    // Pause of 3 s, then the 900 ms step before the next attempt.
    auto starts = h.publisher.startTimes();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1] - starts[0], 3900);
    EXPECT_EQ(h.table.cell(0, kColumnDoneToday), "2");
}

TEST(RunController, PauseBoundsAreReadAfterEachVideo) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}, {"编辑框_视频间隔", "10"}, {"编辑框_视频间隔1", "2"}});
    h.addAccount("100", 1);
    h.addAccount("101", 1);
    h.draw = [](int low, int high) { return randomInclusive(low, high); };
    h.runToEnd();
    ASSERT_EQ(h.draws.size(), 2u);
    EXPECT_EQ(h.draws[0], std::make_pair(10, 2));
    auto starts = h.publisher.startTimes();
    const long long pause = starts[1] - starts[0] - 900 /*attempt*/ - 900 /*turn end*/;
    EXPECT_GE(pause, 2000);
    EXPECT_LE(pause, 10000);
}

TEST(RandomInclusive, ClampsNegativesAndSwapsReversedBounds) {
    struct Case {
        int low, high, min, max;
    } cases[] = {{2, 10, 2, 10}, {10, 2, 2, 10}, {4, 4, 4, 4}, {0, 0, 0, 0}, {-5, 3, 0, 3}, {-3, -1, 0, 0}};
    for (const auto& c : cases) {
        std::set<int> seen;
        for (int i = 0; i < 400; ++i) {
            int v = randomInclusive(c.low, c.high);
            ASSERT_GE(v, c.min);
            ASSERT_LE(v, c.max);
            seen.insert(v);
        }
        EXPECT_EQ(static_cast<int>(seen.size()), c.max - c.min + 1) << c.low << "," << c.high;
    }
}

TEST(RunController, GiveUpAfterTheLimitClosesTheBrowserAndFails) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}, {"放弃秒", "3"}});
    h.addAccount("100", 1);
    h.publisher.setDurationSeconds(60);
    h.runToEnd();
    EXPECT_EQ(h.table.cell(0, kColumnStatus), "上传失败");
    EXPECT_TRUE(h.material.disposed().empty());
    EXPECT_EQ(h.browser.closes(), 2);  // the give-up, then the end of the turn
    auto status = h.cellHistory(0, kColumnStatus);
    EXPECT_NE(std::find(status.begin(), status.end(), "耗时：4/3"), status.end());
    EXPECT_EQ(std::find(status.begin(), status.end(), "耗时：6/3"), status.end());
}

TEST(RunController, GiveUpOffNeverGivesUpAndShowsZeroLimit) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}, {"选择框_自动放弃", "[ ]"}, {"放弃秒", "3"}});
    h.addAccount("100", 1);
    h.publisher.setDurationSeconds(500);
    h.runToEnd();
    EXPECT_EQ(h.material.disposed().size(), 1u);
    auto status = h.cellHistory(0, kColumnStatus);
    EXPECT_EQ(status.front(), "耗时：1/0");
    EXPECT_NE(std::find(status.begin(), status.end(), "耗时：400/0"), status.end());
}

// The limit is the one in force at Start. Raised on the worker as the first upload begins,
// it saves neither that upload nor the next one, and the count shown keeps the old limit.
TEST(RunController, GiveUpLimitIsCapturedAtStart) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "2"}, {"放弃秒", "3"}});
    h.addAccount("100", 2);
    h.publisher.setDurationSeconds(10);
    h.publisher.onStart = [&h](int call) {
        if (call == 0) h.window.setText("放弃秒", "1000");
    };
    h.runToEnd();
    EXPECT_EQ(h.publisher.startTimes().size(), 2u);
    EXPECT_TRUE(h.material.disposed().empty());
    EXPECT_EQ(h.journalEvents(), (std::vector<std::string>{"failed given_up", "failed given_up"}));
    for (const auto& status : h.cellHistory(0, kColumnStatus)) {
        if (status.starts_with("耗时：")) EXPECT_TRUE(status.ends_with("/3")) << status;
    }
    EXPECT_EQ(h.controller.giveUpSeconds(), 3);
}

TEST(ForbiddenHours, MatchesWholeHourNumbersOnly) {
    struct Case {
        const char* text;
        int hour;
        bool forbidden;
    } cases[] = {{"1点2点13点14点", 1, true},  {"1点2点13点14点", 13, true}, {"1点2点13点14点", 3, false},
                 {"1点2点13点14点", 12, false}, {"01点", 1, false},           {"", 0, false},
                 {"0点", 0, true},              {"23点", 3, false}};
    for (const auto& c : cases) EXPECT_EQ(isForbiddenHour(c.text, c.hour), c.forbidden) << c.text << " " << c.hour;
}

TEST(RunController, ForbiddenHourWaitsInMinuteStepsUntilAnAllowedHour) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}, {"选择框_禁止指定时间", "[x]"}, {"选择框_自动放弃", "[ ]"}});
    h.addAccount("100", 1);
    h.clock.setLocalTime(13, 58);
    h.runToEnd();
    auto starts = h.publisher.startTimes();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], 62 * 60000);  // 13:58 to 15:00
    auto titles = h.browser.titles();
    EXPECT_EQ(std::count(titles.begin(), titles.end(), "现在是禁用时间段"), 62);
    EXPECT_EQ(h.material.disposed().size(), 1u);
}

TEST(RunController, ForbiddenWaitCountsTowardTheGiveUpLimit) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}, {"选择框_禁止指定时间", "[x]"}});
    h.addAccount("100", 1);
    h.clock.setLocalTime(13, 58);
    h.runToEnd();
    EXPECT_EQ(h.table.cell(0, kColumnStatus), "上传失败");
}

TEST(RunController, AllowedHourNeitherWaitsNorTitles) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}, {"选择框_禁止指定时间", "[x]"}});
    h.addAccount("100", 1);
    h.clock.setLocalTime(12, 59);
    h.runToEnd();
    EXPECT_EQ(h.publisher.startTimes(), std::vector<long long>{0});
    EXPECT_TRUE(h.browser.titles().empty());
}

TEST(RunController, StopDuringTheSuccessPauseKeepsTheCountdownAndCountsTheVideo) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_视频间隔", "10"}, {"编辑框_视频间隔1", "10"}});
    h.addAccount("100", 3);
    h.runFor(2500);
    EXPECT_FALSE(h.controller.workerAlive());
    EXPECT_EQ(h.material.disposed().size(), 1u);
    EXPECT_EQ(h.table.cell(0, kColumnDoneToday), "1");
    const std::string status = h.table.cell(0, kColumnStatus);
    EXPECT_EQ(status, "延时7秒后继续");
    EXPECT_EQ(h.window.caption("开始"), "开始");
    EXPECT_EQ(h.window.text("编辑框_账号序列"), "1");  // the interrupted account
}

// Stop must end the worker within a second wherever it is: publishing, pausing,
// waiting between accounts or passes, or waiting out a forbidden hour.
TEST(RunControllerRealTime, StopEndsTheWorkerWithinOneSecondAtAnyPoint) {
    RunHarness h(/*realTime=*/true);
    apply(h.window, {{"编辑框_单账号上传", "2"}, {"编辑框_视频间隔", "1"}, {"编辑框_视频间隔1", "2"},
                     {"选择框_2账号间隔", "[x]"}, {"编辑框_账号间隔", "1"}, {"编辑框_循环间隔", "1"}});
    h.draw = [](int low, int high) { return randomInclusive(low, high); };
    h.addAccount("100", 50);
    h.addAccount("101", 50);
    h.publisher.setDurationSeconds(1);
    std::mt19937 random(12345);
    for (int round = 0; round < 8; ++round) {
        // The last round spends its time waiting out a forbidden hour.
        h.window.setChecked("选择框_禁止指定时间", round == 7);
        h.window.setText("编辑框_禁止指定时间", std::to_string(h.realClock.localHour()) + "点");
        h.controller.toggleRun();
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 4000)(random)));
        const auto pressed = std::chrono::steady_clock::now();
        h.controller.toggleRun();
        EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::milliseconds(100)) << "Stop blocked the caller";
        while (h.controller.workerAlive() && std::chrono::steady_clock::now() - pressed < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::seconds(1)) << "round " << round;
        EXPECT_EQ(h.window.caption("开始"), "开始");
    }
}

}  // namespace
}  // namespace clipmill::testing
