#include "engine/unfinished_publications.h"

#include <gtest/gtest.h>

#include "engine/video_material.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

constexpr long long kSubmitAt = 1765400000;

// What an earlier process left in the journal for one video, what its tab shows now, what
// the site's list says, and what the recovery makes of it. No address proves anything: only
// the page's success word in the very tab of the submit, or the site's list.
struct OpenCase {
    const char* name;
    const char* lastEvent;     // submitting, unknown or submitted
    const char* fileNow;       // "same", "replaced" or "missing"
    std::optional<std::string> tabShows;  // the visible text of the submit's tab; nothing: no such tab or browser
    std::optional<std::vector<SiteSubmission>> siteList;  // nothing: could not be read
    long long minutesLater;    // now, after the submit
    std::vector<std::string> added;  // journal events written by the recovery
    bool videoStays;
};

const std::vector<SiteSubmission> kListed{{"1001", "BV1pr1001", "一", kSubmitAt + 5}};
const std::vector<SiteSubmission> kOlderSameTitle{{"900", "BV1pr900", "一", kSubmitAt - 3600}};

class FinishOpenPublications : public ::testing::TestWithParam<OpenCase> {};

TEST_P(FinishOpenPublications, DecidesOnEvidenceOnly) {
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
    open.epoch = kSubmitAt;
    open.accountId = "100";
    open.title = "一";
    open.tabId = "TAB1";
    open.video = *identifyVideo(video);
    journal.append(open);
    if (std::string(c.fileNow) == "replaced") dir.write("素材/一.mp4", "another video");
    if (std::string(c.fileNow) == "missing") fs::remove(video);
    const auto before = journal.read().size();

    std::vector<std::string> tabsAsked;
    AccountPages pages;
    pages.tabText = [&](const std::string& account, const std::string& tab) {
        tabsAsked.push_back(account + "/" + tab);
        return c.tabShows;
    };
    pages.successWords = {"稿件投递成功"};
    pages.submissionsOf = [&](const std::string& account) {
        EXPECT_EQ(account, "100");
        return c.siteList;
    };
    finishOpenPublications(journal, material, pages, [&] { return kSubmitAt + c.minutesLater * 60; });

    std::vector<std::string> added;
    const auto entries = journal.read();
    for (size_t i = before; i < entries.size(); ++i)
        added.push_back(entries[i].reason.empty() ? entries[i].event : entries[i].event + " " + entries[i].reason);
    EXPECT_EQ(added, c.added);
    EXPECT_EQ(fs::exists(video), c.videoStays);
    EXPECT_EQ(fs::exists(dir.path() / "used" / "一.mp4"), std::string(c.fileNow) == "same" && !c.videoStays);
    if (std::string(c.lastEvent) == "submitting" && std::string(c.fileNow) != "replaced")
        EXPECT_EQ(tabsAsked, std::vector<std::string>{"100/TAB1"});
    // A video is held back exactly while its outcome is undecided.
    const bool undecidedLeft = !added.empty() && added.back().rfind("unknown", 0) == 0;
    EXPECT_EQ(journal.heldBack(video), undecidedLeft || (std::string(c.lastEvent) == "unknown" && added.empty() &&
                                                         std::string(c.fileNow) == "same"));
}

const std::string kLoginText = "密码登录 扫描二维码登录";

INSTANTIATE_TEST_SUITE_P(
    Cases, FinishOpenPublications,
    ::testing::Values(
        OpenCase{"SubmittedIsDisposed", "submitted", "same", std::nullopt, std::nullopt, 0, {"disposed"}, false},
        OpenCase{"SubmittedButReplacedIsLeftAlone", "submitted", "replaced", std::nullopt, std::nullopt, 0, {}, true},
        OpenCase{"SubmittedAndGoneIsClosed", "submitted", "missing", std::nullopt, std::nullopt, 0, {"disposed"}, false},
        OpenCase{"SuccessWordInTheTab", "submitting", "same", "稿件投递成功 再投一个", std::nullopt, 1,
                 {"submitted", "disposed"}, false},
        OpenCase{"LoginPageInTheTab", "submitting", "same", kLoginText, std::nullopt, 1, {"unknown answer_unseen"}, true},
        OpenCase{"BlankTab", "submitting", "same", "", std::nullopt, 1, {"unknown answer_unseen"}, true},
        OpenCase{"ThePageTheUserOpened", "submitting", "same", "我的收藏夹", std::vector<SiteSubmission>{}, 1,
                 {"unknown answer_unseen"}, true},
        OpenCase{"TheLandedUploadPage", "submitting", "same", "立即投稿 拖拽视频", std::vector<SiteSubmission>{}, 1,
                 {"unknown answer_unseen"}, true},
        OpenCase{"NoBrowserButTheSiteListsIt", "submitting", "same", std::nullopt, kListed, 1,
                 {"unknown answer_unseen", "submitted", "disposed"}, false},
        OpenCase{"NoBrowserAndTheListCannotBeRead", "submitting", "same", std::nullopt, std::nullopt, 90,
                 {"unknown answer_unseen"}, true},
        OpenCase{"UnknownNotListedAfterHalfAnHour", "unknown", "same", std::nullopt, kOlderSameTitle, 31,
                 {"failed not_found"}, true},
        OpenCase{"UnknownNotListedYet", "unknown", "same", std::nullopt, std::vector<SiteSubmission>{}, 10, {}, true},
        OpenCase{"UnknownListed", "unknown", "same", std::nullopt, kListed, 2, {"submitted", "disposed"}, false},
        OpenCase{"UnknownListedButTheFileIsAnotherNow", "unknown", "replaced", std::nullopt, kListed, 2, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The site's list decides by title and time, with two minutes for clocks that differ.
TEST(MatchSubmission, TitleAndTimeDecide) {
    using D = SubmissionMatch::Decision;
    struct Case {
        const char* name;
        std::optional<std::vector<SiteSubmission>> list;
        long long minutesLater;
        D decision;
    } cases[] = {
        {"Listed", std::vector<SiteSubmission>{{"1", "BV1", "一", kSubmitAt + 30}}, 1, D::Published},
        {"ListedWithTheSiteClockBehind", std::vector<SiteSubmission>{{"1", "BV1", "一", kSubmitAt - 100}}, 1, D::Published},
        {"SameTitleButOlder", std::vector<SiteSubmission>{{"1", "BV1", "一", kSubmitAt - 200}}, 1, D::Undecided},
        {"OtherTitle", std::vector<SiteSubmission>{{"1", "BV1", "二", kSubmitAt + 30}}, 29, D::Undecided},
        {"OtherTitleAfterHalfAnHourInAListThatReachesBack",
         std::vector<SiteSubmission>{{"1", "BV1", "二", kSubmitAt + 30}, {"0", "BV0", "三", kSubmitAt - 3600}}, 30,
         D::NotPublished},
        {"EmptyListAfterHalfAnHour", std::vector<SiteSubmission>{}, 30, D::NotPublished},
        // Twenty newer submissions fill the first page: it may be on the next one.
        {"AListThatDoesNotReachBackNeverRefutes", std::vector<SiteSubmission>{{"1", "BV1", "二", kSubmitAt + 30}}, 90,
         D::Undecided},
        {"NoListNeverRefutes", std::nullopt, 600, D::Undecided},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(matchSubmission("一", kSubmitAt, c.list, kSubmitAt + c.minutesLater * 60).decision, c.decision);
    }
}

}  // namespace
}  // namespace clipmill::testing
