#include "engine/run_controller.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "accounts/account_store.h"
#include "accounts/list_operations.h"
#include "engine/forbidden_hours.h"
#include "fixtures/recording_dialogs.h"
#include "fixtures/thread_failures.h"
#include "engine/run_harness.h"
#include "support/random.h"

namespace clipmill::testing {
namespace {

struct Setting {
    std::string control;
    std::string text;  // "[x]" / "[ ]" set a check box
};

void apply(WindowState& window, const std::vector<Setting>& settings) {
    for (const auto& s : settings) {
        if (s.text == "[x]" || s.text == "[ ]")
            window.setChecked(s.control, s.text == "[x]");
        else
            window.setText(s.control, s.text);
    }
}

// Settings every pass test starts from: one pass, no pauses worth waiting for.
const std::vector<Setting> kOnePass = {{"选择框_自动循环", "[ ]"}, {"编辑框_视频间隔", "0"}, {"编辑框_视频间隔1", "0"}};

struct PassCase {
    std::string name;
    std::vector<Setting> settings;
    std::vector<int> videosPerAccount;
    std::deque<int> publishResults;
    // What the list and window end with.
    std::vector<std::string> doneToday;  // "今天已发" of each row
    std::vector<std::string> status;     // "状态" of each row
    int published;
    int closes;
    std::string accountIndex;  // 编辑框_账号序列
    std::string controlCaption;
};

class PassTest : public ::testing::TestWithParam<PassCase> {};

TEST_P(PassTest, EndsWithTheseTextsAndCounts) {
    const PassCase& c = GetParam();
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, c.settings);
    for (size_t i = 0; i < c.videosPerAccount.size(); ++i) h.addAccount(std::to_string(100 + i), c.videosPerAccount[i]);
    h.publisher.setResults(c.publishResults);

    h.runToEnd();

    for (size_t row = 0; row < c.videosPerAccount.size(); ++row) {
        EXPECT_EQ(h.table.cell(row, kColumnDoneToday), c.doneToday[row]) << "row " << row;
        EXPECT_EQ(h.table.cell(row, kColumnStatus), c.status[row]) << "row " << row;
    }
    EXPECT_EQ(static_cast<int>(h.material.disposed().size()), c.published);
    EXPECT_EQ(h.browser.closes(), c.closes);
    EXPECT_EQ(h.window.text("编辑框_账号序列"), c.accountIndex);
    EXPECT_EQ(h.window.caption("分组框_控制"), c.controlCaption);
    EXPECT_EQ(h.window.caption("分组框6"),
              "账号列表（右键点击操作）当前有账号：" + std::to_string(c.videosPerAccount.size()) + "个");
    EXPECT_EQ(h.window.caption("开始"), "开始");  // finished by itself: no run left to stop
}

INSTANTIATE_TEST_SUITE_P(
    Passes, PassTest,
    ::testing::Values(
        PassCase{"EmptyList", {{"编辑框_账号序列", "5"}}, {}, {}, {}, {}, 0, 0, "1", "当前设置，每个账号发布3个视频后切换"},
        // The count of the first row is cleared when the second account's turn begins.
        PassCase{"ThreePerAccount", {}, {5, 5}, {}, {"", "3"}, {"", ""}, 6, 2, "3", "当前设置，每个账号发布3个视频后切换"},
        PassCase{"IndexBeyondRowsStartsAtOne", {{"编辑框_账号序列", "9"}}, {1, 1}, {}, {"", "1"}, {"", ""}, 2, 2, "3",
                 "当前设置，每个账号发布3个视频后切换"},
        PassCase{"StartsAtTheGivenAccount", {{"编辑框_账号序列", "2"}}, {4, 4}, {}, {"", "3"}, {"", ""}, 3, 1, "3",
                 "当前设置，每个账号发布3个视频后切换"},
        PassCase{"ZeroPerAccountOnlyEndsTurns", {{"编辑框_单账号上传", "0"}}, {3, 3}, {}, {"", ""}, {"", ""}, 0, 2, "3",
                 "当前设置，每个账号发布0个视频后切换"},
        PassCase{"UncheckedMeansOneEach", {{"选择框_切换账号", "[ ]"}, {"编辑框_单账号上传", "5"}}, {3, 3}, {}, {"", "1"},
                 {"", ""}, 2, 2, "3", "当前设置，每个账号发布1个视频后切换"},
        PassCase{"FailuresUseUpAttempts", {}, {5}, {1, 0, 1}, {"2"}, {""}, 2, 1, "2", "当前设置，每个账号发布3个视频后切换"},
        PassCase{"FailureAsLastAttemptStays", {}, {5}, {1, 1, 0}, {"2"}, {"上传失败"}, 2, 1, "2",
                 "当前设置，每个账号发布3个视频后切换"},
        PassCase{"NoVideoPublishesNothing", {}, {0}, {}, {""}, {""}, 0, 1, "2", "当前设置，每个账号发布3个视频后切换"},
        PassCase{"NonNumberCountIsZero", {{"编辑框_单账号上传", "abc"}}, {2}, {}, {""}, {""}, 0, 1, "2",
                 "当前设置，每个账号发布0个视频后切换"}),
    [](const auto& info) { return info.param.name; });

TEST(RunController, JobCarriesTheAccountAndTheComposedFields) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}});
    h.addAccount("107", 1);
    h.runToEnd();
    auto jobs = h.publisher.jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].nickname, "nick-107");
    EXPECT_EQ(jobs[0].accountId, "107");
    EXPECT_EQ(jobs[0].video, h.folderOf("107") + "/1.mp4");
    EXPECT_EQ(jobs[0].typedTags, std::vector<std::string>{"composed"});
    EXPECT_EQ(h.table.cell(0, kColumnPublishing), h.folderOf("107") + "/1.mp4");
}

// An exception in the middle of a publication must not end the program from the worker
// thread: it is reported, and the worker ends there without starting the next video.
TEST(RunController, APublicationThatThrowsEndsTheWorkerAndIsReported) {
    RecordedThreadFailures recorded;
    RunHarness h;
    apply(h.window, kOnePass);
    h.addAccount("107", 2);
    h.publisher.onStart = [](int call) {
        if (call == 0) throw std::runtime_error("page gone");
    };
    h.runToEnd();
    const auto failures = recorded.failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].where, "run");
    EXPECT_EQ(failures[0].what, "page gone");
    EXPECT_FALSE(h.controller.workerAlive());
    EXPECT_EQ(h.publisher.jobs().size(), 1u);
}

TEST(RunController, MissingOrTrailingSeparatorFolderFallsBackToTheSharedFolder) {
    for (std::string cell : {"", "/no/such/folder", "<real>/"}) {
        RunHarness h;
        apply(h.window, kOnePass);
        apply(h.window, {{"选择框_切换账号", "[ ]"}, {"编辑框_视频素材目录", "/shared/material"}});
        if (cell == "<real>/") cell = h.dir.str() + "/";
        h.addAccount("100", 0, cell.empty() ? "/no/such/folder" : cell);
        if (cell.empty()) h.table.setCell(0, kColumnFolder, "");
        h.runToEnd();
        auto selections = h.material.selections();
        ASSERT_EQ(selections.size(), 1u) << cell;
        EXPECT_EQ(selections[0].first, "/shared/material") << cell;
        EXPECT_EQ(selections[0].second, 0);
    }
}

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

// Once the site has the video, nothing that happens on the page afterwards undoes the
// publication: the run disposes of it and counts it, then honours the Stop.
TEST(RunController, AVideoTheSiteHasIsDisposedAndCountedWhateverComesNext) {
    struct Case {
        const char* name;
        bool stopAfterSubmit;
        bool giveUpAfterSubmit;
    } cases[] = {{"Stop", true, false}, {"GiveUp", false, true}};
    for (const auto& c : cases) {
        RunHarness h;
        apply(h.window, kOnePass);
        apply(h.window, {{"编辑框_单账号上传", "2"}, {"放弃秒", c.giveUpAfterSubmit ? "3" : "300"}});
        h.addAccount("100", 2);
        h.publisher.setTailSeconds(10);
        if (c.stopAfterSubmit) h.publisher.afterSubmit = [&h](int) { h.controller.toggleRun(); };
        h.runToEnd();
        EXPECT_EQ(h.material.disposed().size(), c.stopAfterSubmit ? 1u : 2u) << c.name;
        EXPECT_EQ(h.table.cell(0, kColumnDoneToday), c.stopAfterSubmit ? "1" : "2") << c.name;
        EXPECT_NE(h.table.cell(0, kColumnStatus), "上传失败") << c.name;
        const std::vector<std::string> one = {"submitting", "submitted", "disposed"};
        std::vector<std::string> expected = one;
        if (!c.stopAfterSubmit) expected.insert(expected.end(), one.begin(), one.end());
        EXPECT_EQ(h.journalEvents(), expected) << c.name;
    }
}

TEST(RunController, JournalRecordsEachPublicationWithItsAccountAndFile) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}});
    h.addAccount("107", 1);
    h.table.setCell(0, kColumnNick, "阿七");
    h.runToEnd();
    const auto entries = h.journal.read();
    ASSERT_EQ(entries.size(), 3u);
    const auto& submitted = entries[1];
    EXPECT_EQ(submitted.event, "submitted");
    EXPECT_EQ(submitted.accountId, "107");
    EXPECT_EQ(submitted.nickname, "nick-107");  // from the account file
    EXPECT_EQ(submitted.video.path, h.folderOf("107") + "/1.mp4");
    EXPECT_EQ(submitted.video.size, 5);
    EXPECT_EQ(submitted.title, "标题");
    EXPECT_EQ(submitted.zone, "动画");
    EXPECT_EQ(submitted.subZone, "日常");
    EXPECT_EQ(entries[0].landedAddress, "http://127.0.0.1:1/video/upload.html");
}

TEST(RunController, AFailedPublicationIsJournaledWithItsReason) {
    struct Case {
        const char* name;
        std::string pageFailure;
        int publishSeconds;
        bool stop;
        bool vanish;
        std::string expected;
    } cases[] = {
        {"ThePagesWord", "banned", 0, false, false, "failed banned"},
        {"NoWordIsARefusedSubmit", "", 0, false, false, "failed submit_refused"},
        {"GiveUp", "", 60, false, false, "failed given_up"},
        {"Stop", "browser_gone", 60, true, false, "failed stopped"},
        {"VanishedFile", "", 0, false, true, "failed no_video"},
    };
    for (const auto& c : cases) {
        RunHarness h;
        apply(h.window, kOnePass);
        apply(h.window, {{"编辑框_单账号上传", "1"}, {"放弃秒", "3"}});
        h.addAccount("100", 1);
        h.publisher.setResults({0});
        h.publisher.setFailure(c.pageFailure);
        h.publisher.setDurationSeconds(c.publishSeconds);
        if (c.vanish) std::filesystem::remove(h.folderOf("100") + "/1.mp4");
        if (c.stop) {
            h.runFor(2000);
        } else {
            h.runToEnd();
        }
        const auto events = h.journalEvents();
        ASSERT_EQ(events.size(), 1u) << c.name;
        EXPECT_EQ(events[0], c.expected) << c.name;
        EXPECT_TRUE(h.material.disposed().empty()) << c.name;
    }
}

// A published video whose disposal failed (a full disk, a locked folder) stays where it
// is, but it is never published again: each later attempt tries its disposal instead.
TEST(RunController, APublishedVideoThatCouldNotLeaveIsNotPublishedAgain) {
    RunHarness h;
    apply(h.window, kOnePass);
    h.addAccount("100", 1);
    h.material.disposalsFail = true;
    h.runToEnd();
    EXPECT_EQ(h.publisher.jobs().size(), 1u);
    EXPECT_EQ(h.journalEvents(), (std::vector<std::string>{"submitting", "submitted"}));
    EXPECT_EQ(h.table.cell(0, kColumnDoneToday), "1");

    h.material.disposalsFail = false;
    h.window.setText("编辑框_账号序列", "1");
    h.runToEnd();
    EXPECT_EQ(h.publisher.jobs().size(), 1u);
    EXPECT_EQ(h.material.disposed().size(), 1u);
    EXPECT_EQ(h.journalEvents().back(), "disposed");
}

TEST(RunController, LoopingOverAnEmptyListPausesBetweenPasses) {
    RunHarness h;
    apply(h.window, {{"选择框_自动循环", "[x]"}, {"编辑框_循环间隔", "5"}});
    h.runFor(12500);
    auto captions = h.captionsOf("分组框6");
    EXPECT_EQ(std::count(captions.begin(), captions.end(), "账号列表（右键点击操作）当前有账号：0个"), 3);
    EXPECT_EQ(std::count(captions.begin(), captions.end(), "本轮结束，等待0秒继续下一轮"), 2);
    EXPECT_EQ(captions[1], "本轮结束，等待4秒继续下一轮");
    EXPECT_EQ(h.window.text("编辑框_账号序列"), "1");
}

TEST(RunControllerRealTime, LoopingOverAnEmptyListWithoutPauseDoesNotSpin) {
    RunHarness h(/*realTime=*/true);
    apply(h.window, {{"选择框_自动循环", "[x]"}, {"编辑框_循环间隔", "0"}});
    const std::clock_t cpuBefore = std::clock();
    h.runFor(2000);
    const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    EXPECT_LT(cpuSeconds, 0.5);
}

TEST(RunController, LoopingStartsTheNextPassFromTheFirstAccount) {
    RunHarness h;
    apply(h.window, {{"选择框_自动循环", "[x]"}, {"编辑框_循环间隔", "2"}, {"编辑框_单账号上传", "1"},
                     {"编辑框_视频间隔", "0"}, {"编辑框_视频间隔1", "0"}});
    h.addAccount("100", 5);
    h.addAccount("101", 5);
    h.runFor(10500);
    auto selections = h.material.selections();
    ASSERT_GE(selections.size(), 4u);
    EXPECT_EQ(selections[0].second, 0);
    EXPECT_EQ(selections[1].second, 1);
    EXPECT_EQ(selections[2].second, 0);
    EXPECT_EQ(selections[3].second, 1);
}

TEST(RunController, AccountPauseAndRedialFollowEachTurn) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}, {"选择框_2账号间隔", "[x]"}, {"编辑框_账号间隔", "80"},
                     {"选择框_换ip", "[x]"}});
    h.addAccount("100", 1);
    h.addAccount("101", 1);
    h.runToEnd();
    EXPECT_EQ(h.redialer.count.load(), 2);
    auto starts = h.publisher.startTimes();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1] - starts[0], 900 + 900 + 80000);
}

// A run that ended by itself leaves nothing to stop: the next press starts a new run.
TEST(RunController, OnePressStartsANewRunAfterOneEndedByItself) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}});
    h.addAccount("100", 1);
    h.runToEnd();
    EXPECT_EQ(h.window.caption("开始"), "开始");
    EXPECT_FALSE(h.controller.workerAlive());
    EXPECT_FALSE(h.controller.running());
    h.runToEnd();
    EXPECT_EQ(h.material.selections().size(), 2u);
}

TEST(RunController, RestartResumesAtTheInterruptedAccount) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "2"}});
    h.publisher.setDurationSeconds(10);
    h.addAccount("100", 5);
    h.addAccount("101", 5);
    h.addAccount("102", 5);
    h.runFor(25000);  // inside the second account's first video
    EXPECT_EQ(h.window.text("编辑框_账号序列"), "2");
    const size_t before = h.material.selections().size();
    h.runToEnd();
    auto selections = h.material.selections();
    ASSERT_GT(selections.size(), before);
    EXPECT_EQ(selections[before].second, 1);
    EXPECT_EQ(h.window.text("编辑框_账号序列"), "4");
}

TEST(RunController, SelectingAnotherRowDuringARunDoesNotRedirectIt) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "2"}});
    h.publisher.setDurationSeconds(5);
    h.addAccount("100", 5);
    h.addAccount("101", 5);
    h.addAccount("102", 5);
    h.publisher.onStart = [&h](int call) {
        if (call == 0) h.table.setCurrentRow(2);  // the user clicks the third row
    };
    h.runToEnd();
    auto selections = h.material.selections();
    ASSERT_GE(selections.size(), 2u);
    EXPECT_EQ(selections[0].second, 0);
    EXPECT_EQ(selections[1].second, 0);
    EXPECT_EQ(h.cellHistory(0, kColumnDoneToday).front(), "1");
    // The second turn cleared the count of the row the user had made current, not the first row's.
    EXPECT_EQ(h.table.cell(0, kColumnDoneToday), "2");
    EXPECT_EQ(h.table.cell(1, kColumnDoneToday), "");
    EXPECT_EQ(h.table.cell(2, kColumnDoneToday), "2");
}

// The user edits the list while a video is being published: "修改账号信息" on another row
// and "删除本账号" of a third. The worker stays with its own account and folder, writes
// its cells on that account's row and goes on with the account after it.
TEST(RunController, ListEditsDuringARunLeaveTheWorkerOnItsOwnAccount) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "2"}});
    h.publisher.setDurationSeconds(5);
    h.addAccount("100", 2);
    h.addAccount("101", 2);
    h.addAccount("102", 0);
    const std::string moved = h.folderOf("102-new");
    std::filesystem::create_directories(moved);
    for (int v = 1; v <= 2; ++v) h.material.queue(moved, h.dir.write("videos/102-new/" + std::to_string(v) + ".mp4", "v").string());
    RecordingDialogs dialogs;
    AccountStore store(h.dir.path(), h.window, h.table, dialogs);
    AccountListOperations operations(h.window, h.table, store, h.dir.path());
    h.publisher.onStart = [&](int call) {
        if (call != 0) return;
        operations.selectRow(2);
        h.window.setText(AccountStore::kFolderField, moved);
        store.modifyAccount();
        operations.selectRow(1);
        operations.deleteEditedAccount();
    };
    h.runToEnd();

    std::vector<std::string> published;
    for (const auto& job : h.publisher.jobs()) published.push_back(job.accountId + ":" + job.video);
    EXPECT_EQ(published, (std::vector<std::string>{"100:" + h.folderOf("100") + "/1.mp4", "100:" + h.folderOf("100") + "/2.mp4",
                                                   "102:" + moved + "/1.mp4", "102:" + moved + "/2.mp4"}));
    EXPECT_EQ(h.table.cell(0, kColumnFolder), h.folderOf("100"));
    EXPECT_EQ(h.table.cell(1, kColumnId), "102");
    EXPECT_EQ(h.table.cell(1, kColumnDoneToday), "2");
    EXPECT_EQ(h.table.cell(1, kColumnPublishing), moved + "/2.mp4");
    EXPECT_EQ(h.window.text("编辑框_账号序列"), "3");
}

TEST(RunController, DeletingTheWorkersOwnAccountEndsItsTurn) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "3"}, {"编辑框_视频间隔", "2"}, {"编辑框_视频间隔1", "2"}});
    h.publisher.setDurationSeconds(5);
    h.addAccount("100", 3);
    h.addAccount("101", 1);
    RecordingDialogs dialogs;
    AccountStore store(h.dir.path(), h.window, h.table, dialogs);
    AccountListOperations operations(h.window, h.table, store, h.dir.path());
    h.publisher.onStart = [&](int call) {
        if (call != 0) return;
        operations.selectRow(0);
        operations.deleteEditedAccount();
    };
    h.runToEnd();

    const auto jobs = h.publisher.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].accountId, "100");
    EXPECT_EQ(jobs[1].accountId, "101");
    EXPECT_EQ(h.material.disposed().size(), 2u);  // the video the site had still left its folder
    // Account 100's pause did not land on the row of 101, which moved up into its place.
    const auto status = h.cellHistory(0, kColumnStatus);
    EXPECT_EQ(std::count(status.begin(), status.end(), "延时2秒后继续"), 1);
    EXPECT_EQ(h.table.cell(0, kColumnDoneToday), "1");
    EXPECT_EQ(h.window.text("编辑框_账号序列"), "2");
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

namespace clipmill::testing {
namespace {

// The site refusing an account for posting too often ends its turn at once: its other
// attempts would only be refused too. The video stays; the next account goes on.
TEST(RunController, PostingTooOftenEndsTheAccountsTurnAndKeepsTheVideo) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "3"}});
    h.addAccount("100", 3);
    h.addAccount("101", 3);
    h.publisher.setResults({0, 1, 1, 1});
    h.publisher.setFailure("too_frequent");
    h.runToEnd();
    const auto selections = h.material.selections();
    ASSERT_EQ(selections.size(), 4u);
    EXPECT_EQ(selections[0].second, 0);
    EXPECT_EQ(selections[1].second, 1);
    EXPECT_EQ(h.material.disposed().size(), 3u);
    EXPECT_EQ(h.table.cell(0, kColumnStatus), "上传失败");
    EXPECT_EQ(h.table.cellToolTip(0, kColumnStatus), "投稿过于频繁，本账号暂停");
    const auto entries = h.journal.read();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].reason, "too_frequent");
    EXPECT_EQ(entries[0].reasonText, "投稿过于频繁，本账号暂停");
}

}  // namespace
}  // namespace clipmill::testing
