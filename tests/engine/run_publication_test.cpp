#include "engine/run_controller.h"

#include <gtest/gtest.h>

#include "fixtures/thread_failures.h"
#include "engine/run_harness.h"

#include <algorithm>
#include <filesystem>

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
// The site's refusal for posting too often, as a code in its answer or in words on the page,
// ends the account's turn; the video stays for later.
TEST(RunController, PostingTooOftenEndsTheAccountsTurnAndKeepsTheVideo) {
    struct Case {
        const char* name;
        int result;
        std::string tip;
        std::string siteMessage;
    } cases[] = {
        {"InWords", 0, "投稿过于频繁，本账号暂停", ""},
        {"SiteCode21566", ScriptedPublisher::kRefusedResult, "投稿过于频繁，请稍后再试（代码21566）", "投稿过于频繁，请稍后再试"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunHarness h;
        apply(h.window, kOnePass);
        apply(h.window, {{"编辑框_单账号上传", "3"}});
        h.addAccount("100", 3);
        h.addAccount("101", 3);
        h.publisher.setResults({c.result, 1, 1, 1});
        h.publisher.setFailure("too_frequent");
        h.runToEnd();
        const auto selections = h.material.selections();
        ASSERT_EQ(selections.size(), 4u);
        EXPECT_EQ(selections[0].second, 0);
        EXPECT_EQ(selections[1].second, 1);
        EXPECT_EQ(h.material.disposed().size(), 3u);
        EXPECT_EQ(h.table.cell(0, kColumnStatus), "上传失败");
        EXPECT_EQ(h.table.cellToolTip(0, kColumnStatus), c.tip);
        std::optional<JournalEntry> failed;
        for (const auto& entry : h.journal.read())
            if (entry.event == "failed" && !failed) failed = entry;
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->reason, "too_frequent");
        EXPECT_EQ(failed->reasonText, c.tip);
        EXPECT_EQ(failed->siteMessage, c.siteMessage);
    }
}

// A submit whose answer was not seen is unknown: the video is neither offered again nor
// disposed of until the site's list decides it, at the start of that account's next turn.
TEST(RunController, AnUnknownOutcomeHoldsTheVideoBackUntilTheSiteDecides) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "2"}});
    h.addAccount("100", 2);
    h.publisher.setResults({ScriptedPublisher::kUnknownResult, 1});
    h.runToEnd();
    const std::string first = h.folderOf("100") + "/1.mp4";
    const std::string second = h.folderOf("100") + "/2.mp4";
    auto jobs = h.publisher.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[1].video, second);  // the first is held back
    EXPECT_EQ(h.material.disposed(), std::vector<std::string>{second});
    EXPECT_EQ((std::vector<std::string>{"submitting", "unknown answer_unseen", "submitting", "submitted", "disposed"}),
              h.journalEvents());
    EXPECT_TRUE(h.journal.heldBack(first));
    const auto statuses = h.cellHistory(0, kColumnStatus);
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "结果待核实"), statuses.end());

    // The list cannot be read: still held back, nothing offered.
    h.runToEnd();
    EXPECT_EQ(h.publisher.jobs().size(), 2u);
    EXPECT_TRUE(h.journal.heldBack(first));

    // The site lists it: published, disposed, never submitted again.
    h.siteList = std::vector<SiteSubmission>{{"1001", "BV1pr1001", "标题", h.epochStart}};
    h.runToEnd();
    EXPECT_EQ(h.publisher.jobs().size(), 2u);
    EXPECT_FALSE(h.journal.heldBack(first));
    const auto entries = h.journal.read();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[entries.size() - 2].event, "submitted");
    EXPECT_EQ(entries[entries.size() - 2].bvid, "BV1pr1001");
    EXPECT_EQ(entries.back().event, "disposed");
    EXPECT_EQ(h.material.disposed().size(), 2u);
}

// Half an hour after the submit with nothing on the site's list, the video is free again.
TEST(RunController, AnUnknownOutcomeTheSiteNeverListedFreesTheVideo) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "1"}});
    h.addAccount("100", 1);
    h.publisher.setResults({ScriptedPublisher::kUnknownResult, 1});
    h.runToEnd();
    h.siteList = std::vector<SiteSubmission>{};
    h.epochStart += 31 * 60;
    h.runToEnd();
    EXPECT_EQ((std::vector<std::string>{"submitting", "unknown answer_unseen", "failed not_found", "submitting",
                                        "submitted", "disposed"}),
              h.journalEvents());
    EXPECT_EQ(h.publisher.jobs().size(), 2u);
}

// What could not be written down is not submitted; the user hears of it once a run.
TEST(RunController, AJournalThatCannotBeWrittenStopsTheSubmit) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "2"}});
    h.addAccount("100", 2);
    std::filesystem::create_directories(h.journal.file());  // a folder where the file should be
    h.runToEnd();
    EXPECT_TRUE(h.material.disposed().empty());
    EXPECT_EQ(h.told.size(), 1u);
    EXPECT_NE(h.told.at(0).find("发布记录无法写入"), std::string::npos);
    EXPECT_EQ(h.table.cellToolTip(0, kColumnStatus), "发布记录无法写入，未提交");
}

// The site's id of the account goes into its file after the first publication and is what
// the page checks from then on.
TEST(RunController, TheSitesAccountIdIsKeptAfterTheFirstPublication) {
    RunHarness h;
    apply(h.window, kOnePass);
    apply(h.window, {{"编辑框_单账号上传", "2"}});
    h.addAccount("100", 2);
    h.publisher.siteId = "10001";
    h.runToEnd();
    auto jobs = h.publisher.jobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].siteId, "");
    EXPECT_EQ(jobs[1].siteId, "10001");
    EXPECT_EQ(h.siteIds["100"], "10001");
}

}  // namespace
}  // namespace clipmill::testing
