#include "engine/run_controller.h"

#include <gtest/gtest.h>

#include <thread>

#include "accounts/account_store.h"
#include "accounts/list_operations.h"
#include "fixtures/recording_dialogs.h"
#include "engine/run_harness.h"

namespace clipmill::testing {
namespace {

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

}  // namespace
}  // namespace clipmill::testing
