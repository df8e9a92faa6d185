#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <algorithm>
#include <functional>
#include <thread>

#include "engine/publication_journal.h"
#include "program_fixture.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

const char* const kMainWindow = "Clipmillv8.8";
const std::vector<std::string> kPublishedOnce = {"submitting", "submitted", "disposed"};


// The moments around the submit, with the real program: one account, one video, deleted
// once published, the run looping over the account every two seconds.
class PublicationEdges : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        addAccount("100", 1);
        writeSettings({{"编辑框_单账号上传", "1"}, {"编辑框_视频间隔", "0"}, {"编辑框_视频间隔1", "0"},
                       {"编辑框_混合标签个数", "2"}, {"编辑框_循环间隔", "2"}});
    }

    void startAndPressStart() {
        startProgram();
        ASSERT_FALSE(waitForWindow(kMainWindow, 15000).empty());
        ASSERT_TRUE(waitForAccountList(1));
        ASSERT_TRUE(startRun());
    }
    int submits() const { return countIn(recordFile, "\"event\":\"submit\""); }
    bool videoStays() const { return !fs::is_empty(materialFolder("100")); }
    bool journalIs(const std::vector<std::string>& events) const { return journalEvents() == events; }
    // The journal begins so; later passes may have added more.
    bool journalBegins(const std::vector<std::string>& events) const {
        const auto all = journalEvents();
        return all.size() >= events.size() && std::equal(events.begin(), events.end(), all.begin());
    }
    // Presses Start once more and lets the run go over the account a few times.
    void expectASecondStartPublishesNothing() {
        const int passes = passesSoFar();
        ASSERT_TRUE(startRun());
        ASSERT_TRUE(waitForPasses(passes, 3));
        EXPECT_EQ(submits(), 1);
        EXPECT_EQ(countIn(recordFile, "\"kind\":\"video\""), 1);
        EXPECT_TRUE(stopRun());
    }
};

// The site answers the submit four seconds after it took it; Stop comes in between. The
// outcome is unknown then: the video is held back until the next Start asks the site's list
// of submissions, which has it.
TEST_F(PublicationEdges, StopWhileTheAnswerIsAwaitedIsDecidedByTheNextStart) {
    site->setKnobs("submit-answer-ms=6000");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return submits() >= 1; }, std::chrono::seconds(240)));
    EXPECT_TRUE(stopRun());
    EXPECT_TRUE(pollUntil([&] { return journalIs({"submitting", "unknown stopped"}); }, std::chrono::seconds(10)))
        << ::testing::PrintToString(journalEvents());
    EXPECT_TRUE(videoStays());
    const int passes = passesSoFar();
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitForPasses(passes, 2));
    EXPECT_TRUE(stopRun());
    EXPECT_FALSE(videoStays());
    EXPECT_TRUE(journalIs({"submitting", "unknown stopped", "submitted", "disposed"}))
        << ::testing::PrintToString(journalEvents());
    EXPECT_EQ(submits(), 1);
}

// Killed while the answer is awaited: the next start asks the site's list before the window
// takes a Start, and the video is published once in all.
TEST_F(PublicationEdges, KilledWhileTheAnswerIsAwaitedIsDecidedAtTheNextStart) {
    site->setKnobs("submit-answer-ms=6000");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return submits() >= 1; }, std::chrono::seconds(240)));
    killProgram();
    EXPECT_TRUE(videoStays());
    EXPECT_EQ(journalEvents(), std::vector<std::string>{"submitting"});

    startProgram();
    ASSERT_FALSE(waitForWindow(kMainWindow, 30000).empty());
    ASSERT_TRUE(waitForAccountList(1));
    EXPECT_TRUE(pollUntil([&] { return !videoStays(); }, std::chrono::seconds(60)))
        << ::testing::PrintToString(journalEvents());
    const auto events = journalEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "disposed") << ::testing::PrintToString(events);
    expectASecondStartPublishesNothing();
}

// The page tells the site of the click at once but sends the submit only eight seconds
// later; the browser dies in between. A request went out, so nothing is known: the video is
// held back, never offered again, and the site never gets it.
TEST_F(PublicationEdges, BrowserKilledAfterTheClickHoldsTheVideoBack) {
    site->setKnobs("submit-send-ms=8000");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return countIn(recordFile, "\"event\":\"clicked\"") >= 1; }, std::chrono::seconds(240)));
    killBrowsers();
    EXPECT_TRUE(pollUntil([&] { return journalIs({"submitting", "unknown browser_gone"}); }, std::chrono::seconds(30)))
        << ::testing::PrintToString(journalEvents());
    // What is tested is that nothing arrives: the page would have sent its submit eight
    // seconds after the click, and the run goes over the account again meanwhile.
    const int passes = passesSoFar();
    ASSERT_TRUE(waitForPasses(passes, 2));
    EXPECT_TRUE(stopRun());
    EXPECT_TRUE(videoStays());
    EXPECT_EQ(submits(), 0);
    EXPECT_EQ(countIn(recordFile, "\"kind\":\"video\""), 1);
}

// Today's site shows its success in place: the address does not move. Published once, by
// the site's answer, with the site's number in the journal.
TEST_F(PublicationEdges, SuccessShownInPlaceIsPublishedOnce) {
    site->setKnobs("success-in-place=1");
    startAndPressStart();
    EXPECT_TRUE(pollUntil([&] { return !videoStays(); }, std::chrono::seconds(240)));
    EXPECT_TRUE(pollUntil([&] { return journalIs(kPublishedOnce); }, std::chrono::seconds(5)))
        << ::testing::PrintToString(journalEvents());
    const auto entries = PublicationJournal(programDir / "data" / "发布记录.jsonl").read();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].bvid.rfind("BV1pr", 0), 0u) << entries[1].bvid;
    EXPECT_FALSE(entries[0].tabId.empty());
    EXPECT_TRUE(stopRun());
    expectASecondStartPublishesNothing();
}

// An answer a minute late is waited for: one request, published once.
TEST_F(PublicationEdges, AnAnswerAMinuteLateIsAwaitedWithoutAnotherClick) {
    site->setKnobs("submit-answer-ms=60000");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return submits() >= 1; }, std::chrono::seconds(240)));
    EXPECT_TRUE(pollUntil([&] { return !videoStays(); }, std::chrono::seconds(120)));
    EXPECT_TRUE(pollUntil([&] { return journalIs(kPublishedOnce); }, std::chrono::seconds(5)))
        << ::testing::PrintToString(journalEvents());
    EXPECT_TRUE(stopRun());
    EXPECT_EQ(submits(), 1);
}

// The site took the submit, but its answer never reached the page: unknown; the account's
// next turn finds it on the site's list and disposes of it. The site has it once.
TEST_F(PublicationEdges, ALostAnswerIsDecidedByTheSitesList) {
    site->setKnobs("answer-lost=1");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return submits() >= 1; }, std::chrono::seconds(240)));
    EXPECT_TRUE(pollUntil([&] { return !videoStays(); }, std::chrono::seconds(60)))
        << ::testing::PrintToString(journalEvents());
    EXPECT_TRUE(journalIs({"submitting", "unknown answer_unseen", "submitted", "disposed"}))
        << ::testing::PrintToString(journalEvents());
    site->setKnobs("answer-lost=0");
    EXPECT_TRUE(stopRun());
    expectASecondStartPublishesNothing();
}

// The site refuses the account for posting too often: nothing is published, the video stays
// and the account's turn ends with the site's words.
TEST_F(PublicationEdges, ARefusalForPostingTooOftenKeepsTheVideo) {
    site->setKnobs("refuse-code=21566");
    startAndPressStart();
    EXPECT_TRUE(pollUntil([&] { return journalBegins({"submitting", "failed too_frequent"}); }, std::chrono::seconds(240)))
        << ::testing::PrintToString(journalEvents());
    EXPECT_TRUE(stopRun());
    EXPECT_TRUE(videoStays());
    EXPECT_EQ(countIn(recordFile, "\"code\":0"), 0);
    const auto entries = PublicationJournal(programDir / "data" / "发布记录.jsonl").read();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[1].siteMessage, "投稿过于频繁，请稍后再试");
}

// The account's file says it is the site's account 20002; the browser is logged in as
// another. Nothing is done in that browser.
TEST_F(PublicationEdges, ABrowserLoggedInAsAnotherAccountPublishesNothing) {
    const fs::path file = programDir / "data" / "list" / "100.json";
    std::string account;
    std::getline(std::ifstream(file, std::ios::binary), account, '\0');
    std::ofstream(file, std::ios::binary | std::ios::trunc) << R"({"站点id":"20002",)" << account.substr(1);
    startAndPressStart();
    EXPECT_TRUE(pollUntil([&] { return journalBegins({"failed wrong_account"}); }, std::chrono::seconds(240)))
        << ::testing::PrintToString(journalEvents());
    EXPECT_TRUE(stopRun());
    EXPECT_TRUE(videoStays());
    EXPECT_EQ(countIn(recordFile, "\"kind\":\"video\""), 0);
}

// The site moved its upload page: the configured address redirects, with a query and a
// fragment. The video is published once, and the submit counted when the page left the
// address it landed on.
TEST_F(PublicationEdges, AnUploadPageReachedThroughARedirectPublishesOnce) {
    site->setKnobs("moved-upload=1");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return submits() >= 1; }, std::chrono::seconds(240)));
    EXPECT_TRUE(pollUntil([&] { return !videoStays(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(pollUntil([&] { return journalIs(kPublishedOnce); }, std::chrono::seconds(5)))
        << ::testing::PrintToString(journalEvents());
    const auto entries = PublicationJournal(programDir / "data" / "发布记录.jsonl").read();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].landedAddress, site->url("/platform/upload/video/frame"));
    EXPECT_TRUE(stopRun());
    EXPECT_EQ(submits(), 1);
}

}  // namespace
}  // namespace clipmill::testing
