#include "browser/page_profile.h"

#include <gtest/gtest.h>

#include <set>

#include "browser/failure_record.h"
#include "fixtures/temp_dir.h"
#include "support/gbk.h"

namespace clipmill::testing {
namespace {

TEST(PageProfileTest, EveryRoleHasOneEntryAndTheTableValuesAreTodaysPage) {
    std::set<std::pair<int, std::string>> seen;
    for (const ProfileEntry& entry : pageProfileTable())
        EXPECT_TRUE(seen.insert({static_cast<int>(entry.kind), entry.role}).second) << entry.role;
    const PageProfile profile;
    EXPECT_EQ(profile.selector(role::kSubmit), ".submit-btn-group-add");
    EXPECT_EQ(profile.position(role::kZoneOffset), 2);
    EXPECT_EQ(profile.text(role::kPageReady), "拖拽视频");
    EXPECT_EQ(profile.alternatives(role::kTooFrequent), (std::vector<std::string>{"投稿过于频繁", "上传视频过快"}));
    EXPECT_FALSE(profile.positionGiven(role::kSource));
    EXPECT_TRUE(profile.problems().empty());
}

TEST(PageProfileTest, TheFileOverridesAndWhatCannotBeUsedIsNamed) {
    const PageProfile profile = PageProfile::fromBytes(utf8ToGbk(
        "[Selectors]\r\nSUBMIT = .立即投稿\r\nverification=\r\nnonsense=.x\r\n"
        "[positions]\r\nsource=2\r\npercentage=abc\r\nsubmit=-3\r\n"
        "[texts]\r\ntoo_frequent=慢一点||稍后再试\r\nbanned=\"账号 已封\"\r\n"));
    EXPECT_EQ(profile.selector(role::kSubmit), ".立即投稿");
    EXPECT_EQ(profile.selector(role::kVerification), ".geetest_panel");
    EXPECT_EQ(profile.position(role::kSource), 2);
    EXPECT_TRUE(profile.positionGiven(role::kSource));
    EXPECT_EQ(profile.position(role::kPercentage), 1);
    EXPECT_EQ(profile.position(role::kSubmit), 0);
    EXPECT_EQ(profile.alternatives(role::kTooFrequent), (std::vector<std::string>{"慢一点", "稍后再试"}));
    EXPECT_EQ(profile.text(role::kBanned), "账号 已封");
    const auto& problems = profile.problems();
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_NE(problems[0].find("[selectors] verification="), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("nonsense"), std::string::npos) << problems[1];
    EXPECT_NE(problems[2].find("percentage=abc"), std::string::npos) << problems[2];
    EXPECT_NE(problems[3].find("submit=-3"), std::string::npos) << problems[3];
}

TEST(PageProfileTest, AMissingFileGivesTheTableAndEachReloadReadsItAgain) {
    TempDir dir;
    PageProfileSource source(dir.path() / "data" / "page.ini");
    EXPECT_EQ(source.reload()->selector(role::kSubmit), ".submit-btn-group-add");
    dir.write("data/page.ini", "[selectors]\r\nsubmit=.b\r\n");
    EXPECT_EQ(source.current()->selector(role::kSubmit), ".submit-btn-group-add");
    EXPECT_EQ(source.reload()->selector(role::kSubmit), ".b");
    EXPECT_EQ(source.current()->selector(role::kSubmit), ".b");
}

TEST(FailureRecordTest, AtMostTheNewestAreKeptAndAnIdCannotLeaveTheFolder) {
    TempDir dir;
    const auto root = dir.path() / "失败记录";
    FailureRecord record;
    record.accountId = "../7";
    record.page = {true, "http://x/", "<html></html>", "png"};
    std::filesystem::path first, last;
    for (int i = 0; i < 5; ++i) {
        last = writeFailureRecord(root, record, 1700000000 + i, 3);
        if (i == 0) first = last;
        ASSERT_FALSE(last.empty());
        EXPECT_EQ(last.parent_path(), root);
    }
    std::vector<std::string> kept;
    for (const auto& entry : std::filesystem::directory_iterator(root)) kept.push_back(entry.path().filename().string());
    EXPECT_EQ(kept.size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_TRUE(std::filesystem::exists(last / "page.png"));
    // Two records in one second for one account get folders of their own.
    const auto again = writeFailureRecord(root, record, 1700000004, 3);
    EXPECT_NE(again, last);
    EXPECT_TRUE(std::filesystem::exists(again / "reason.txt"));
}

}  // namespace
}  // namespace clipmill::testing
