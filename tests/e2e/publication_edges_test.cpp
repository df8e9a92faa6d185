#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
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

// The site answers the submit four seconds after it recorded it; Stop comes in between.
TEST_F(PublicationEdges, StopTheMomentTheSiteHasTheSubmitStillDisposesOfTheVideo) {
    site->setKnobs("submit-answer-ms=4000");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return submits() >= 1; }, std::chrono::seconds(240)));
    EXPECT_TRUE(stopRun());
    EXPECT_TRUE(pollUntil([&] { return !videoStays(); }, std::chrono::seconds(20))) << "the published video stayed";
    EXPECT_TRUE(pollUntil([&] { return journalIs(kPublishedOnce); }, std::chrono::seconds(5)))
        << ::testing::PrintToString(journalEvents());
    expectASecondStartPublishesNothing();
}

TEST_F(PublicationEdges, KilledTheMomentTheSiteHasTheSubmitTheNextStartDisposesOfTheVideo) {
    site->setKnobs("submit-answer-ms=3000");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return submits() >= 1; }, std::chrono::seconds(240)));
    killProgram();
    EXPECT_TRUE(videoStays());
    EXPECT_EQ(journalEvents(), std::vector<std::string>{"submitting"});

    startProgram();
    ASSERT_FALSE(waitForWindow(kMainWindow, 30000).empty());
    EXPECT_FALSE(videoStays()) << "the start did not finish the disposal before the window opened: "
                               << ::testing::PrintToString(journalEvents());
    EXPECT_TRUE(journalIs(kPublishedOnce)) << ::testing::PrintToString(journalEvents());
    ASSERT_TRUE(waitForAccountList(1));
    expectASecondStartPublishesNothing();
}

// The page tells the site of the click at once but sends the submit only eight seconds
// later; the browser dies in between, so the site never has the video.
TEST_F(PublicationEdges, BrowserKilledAfterTheClickBeforeTheSiteHasItKeepsTheVideo) {
    site->setKnobs("submit-send-ms=8000");
    startAndPressStart();
    ASSERT_TRUE(pollUntil([&] { return countIn(recordFile, "\"event\":\"clicked\"") >= 1; }, std::chrono::seconds(240)));
    killBrowsers();
    EXPECT_TRUE(pollUntil([&] { return journalIs({"submitting", "failed browser_gone"}); }, std::chrono::seconds(30)))
        << ::testing::PrintToString(journalEvents());
    EXPECT_TRUE(stopRun());
    // What is tested is that nothing arrives: the page would have sent its submit eight
    // seconds after the click, so the site is watched for longer than that.
    std::this_thread::sleep_for(std::chrono::seconds(10));
    EXPECT_TRUE(videoStays());
    EXPECT_EQ(submits(), 0);
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
