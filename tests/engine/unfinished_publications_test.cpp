#include "engine/unfinished_publications.h"

#include <gtest/gtest.h>

#include "engine/video_material.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

const std::string kLanded = "http://127.0.0.1:1/video/upload.html";
const std::string kLogin = "http://127.0.0.1:1/login";

// What an earlier process left in the journal for one video, and what became of the file.
struct OpenCase {
    const char* name;
    const char* lastEvent;     // submitting or submitted
    const char* fileNow;       // "same", "replaced" or "missing"
    std::string browserShows;  // the address the account's browser shows now; "" none
    std::vector<std::string> added;  // journal events written by the recovery
    bool videoStays;
};

class FinishOpenPublications : public ::testing::TestWithParam<OpenCase> {};

TEST_P(FinishOpenPublications, DecidesAndDisposesAsTheSiteAndTheFileSay) {
    const OpenCase& c = GetParam();
    TempDir dir;
    WindowState window(controlTable());
    AccountTable table;
    window.setChecked("单选框_移动", true);
    window.setText("编辑框_使用过视频目录", (dir.path() / "used").string());
    VideoMaterialImpl material(window, table, dir.path());
    PublicationJournal journal(dir.path() / "data" / "发布记录.jsonl");
    const std::string video = dir.write("素材/一.mp4", "video").string();

    JournalEntry open;
    open.event = c.lastEvent;
    open.accountId = "100";
    open.video = *identifyVideo(video);
    open.landedAddress = kLanded;
    journal.append(open);
    if (std::string(c.fileNow) == "replaced") dir.write("素材/一.mp4", "another video");
    if (std::string(c.fileNow) == "missing") fs::remove(video);
    const auto before = journal.read().size();

    FakeClock clock;
    std::vector<std::string> asked;
    const AccountPages pages{[&](const std::string& account) {
                                 asked.push_back(account);
                                 return c.browserShows;
                             },
                             kLogin};
    clock.enterThread();
    finishOpenPublications(journal, material, pages, clock);
    clock.leaveThread();

    std::vector<std::string> added;
    const auto entries = journal.read();
    for (size_t i = before; i < entries.size(); ++i)
        added.push_back(entries[i].reason.empty() ? entries[i].event : entries[i].event + " " + entries[i].reason);
    EXPECT_EQ(added, c.added);
    EXPECT_EQ(fs::exists(video), c.videoStays);
    EXPECT_EQ(fs::exists(dir.path() / "used" / "一.mp4"), std::string(c.fileNow) == "same" && !c.videoStays);
    if (!asked.empty()) EXPECT_EQ(asked.front(), "100");
    EXPECT_TRUE(openPublications(journal.read()).empty() || std::string(c.fileNow) == "replaced");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FinishOpenPublications,
    ::testing::Values(
        OpenCase{"SubmittedIsDisposed", "submitted", "same", "", {"disposed"}, false},
        OpenCase{"SubmittedButReplacedIsLeftAlone", "submitted", "replaced", "", {}, true},
        OpenCase{"SubmittedAndGoneIsClosed", "submitted", "missing", "", {"disposed"}, false},
        OpenCase{"ClickThatLeftThePageWasPublished", "submitting", "same", "http://127.0.0.1:1/video/done.html",
                 {"submitted", "disposed"}, false},
        OpenCase{"ClickWithNoBrowserLeftConfirmsNothing", "submitting", "same", "", {"failed browser_gone"}, true},
        // The session had expired: the submit landed on the sign-in page and counted for nothing.
        OpenCase{"ClickThatLandedOnTheLoginPageWasNotPublished", "submitting", "same", kLogin + "?from=upload",
                 {"failed banned"}, true},
        OpenCase{"ClickThatStayedWasNotPublished", "submitting", "same", kLanded + "?from=menu#top",
                 {"failed submit_refused"}, true},
        OpenCase{"ClickOnAReplacedFileIsLeftAlone", "submitting", "replaced", "http://127.0.0.1:1/video/done.html", {},
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace clipmill::testing
