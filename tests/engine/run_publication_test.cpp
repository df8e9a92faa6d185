#include "engine/run_controller.h"

#include <gtest/gtest.h>

#include "fixtures/thread_failures.h"
#include "engine/run_harness.h"

namespace clipmill::testing {
namespace {

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
