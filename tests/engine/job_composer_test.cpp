#include "engine/job_composer.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <thread>

#include "engine/scripted_draw.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

struct ComposerFixture {
    explicit ComposerFixture(std::deque<int> draws = {})
        : draw{std::move(draws), {}}, composer(window, pool, draw.function()) {}

    UploadJob compose(const std::string& video, const std::string& nick = "N") {
        return composer.composeJob({"7", nick}, video);
    }
    // The title typed, or nothing when the page keeps its own.
    std::optional<std::string> typedTitle(const UploadJob& job) const {
        if (job.titleSource == TitleSource::PageOwn) return std::nullopt;
        return job.title;
    }
    std::vector<std::string> titles(int count) {
        std::vector<std::string> out;
        for (int i = 0; i < count; ++i) out.push_back(composer.nextLibraryTitle().value_or("<none>"));
        return out;
    }

    TempDir dir;
    WindowState window{controlTable()};
    TitlePool pool;
    ScriptedDraw draw;
    JobComposerImpl composer;
};

struct DescriptionCase {
    std::string name;
    std::string templateText;
    std::string nick;
    std::string video;
    std::string tags;
    std::string expected;
};

class Description : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(Description, IsTheTemplateWithPlaceholdersFilledIn) {
    const DescriptionCase& c = GetParam();
    ComposerFixture f;
    f.window.setChecked("选择框_填写简介", true);
    f.window.setText("编辑框_简介模板内容", c.templateText);
    f.window.setText("编辑框_固定标签", c.tags);
    UploadJob job = f.compose(c.video, c.nick);
    EXPECT_EQ(job.description, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Description,
    ::testing::Values(
        DescriptionCase{"TitleAndNick", "{title}-{nick}", "N", "/d/m/abc.mp4", "原创+视频", "abc-N"},
        DescriptionCase{"PlaceholdersInAnyCase", "{TITLE}|{Nick}|{tAg}", "N", "/d/m/a.b.mp4", "t", "a.b|N|t"},
        DescriptionCase{"PlusBecomesEnumerationCommaEverywhere", "{tag} 1+1 {title} {nick}", "甲+乙", "/d/m/x+y.mp4",
                        "原创+视频", "原创、视频 1、1 x、y 甲、乙"},
        DescriptionCase{"ValueOfAnEarlierPlaceholderIsFilledByLaterOnes", "{nick}", "我的{title}", "/d/m/片名.mp4", "",
                        "我的片名"},
        DescriptionCase{"LaterValuesAreNotFilledByEarlierOnes", "{title}", "N", "/d/m/{nick}.mp4", "", "{nick}"},
        DescriptionCase{"NoPlaceholders", "固定简介", "N", "/d/m/a.mp4", "", "固定简介"}),
    [](const auto& info) { return info.param.name; });

TEST(Description, IsEmptyWhenSwitchedOff) {
    ComposerFixture f;
    f.window.setChecked("选择框_填写简介", false);
    f.window.setText("编辑框_简介模板内容", "{title}");
    EXPECT_EQ(f.compose("/d/m/abc.mp4").description, std::nullopt);
}

TEST(Cover, FollowsTheChosenCoverSource) {
    struct Case {
        std::string radio;
        std::string video;     // relative to the fixture
        std::string expected;  // relative to the fixture, "" for none
    };
    const std::vector<Case> cases = {
        {"单选框_系统封面", "m/v.mp4", ""},
        {"单选框_系统封面_随机", "m/v.mp4", ""},
        {"单选框_本地封面", "m/missing.mp4", "m/missing.jpg"},  // names the image even when it is missing
        {"单选框_本地封面", "m/clips.mp4/x.MP4", "m/clips.mp4/x.jpg"},
        {"单选框_本地封面", "m/up.mp4", "m/up.JPG"},        // the extension may differ in case
        {"单选框_本地封面", "m/other.mp4", "m/other.jpg"},  // not Other.jpg, another video's cover
        {"单选框_本地随机封面", "m/v.mp4", "covers/sub/b.JPG"},  // drawn from subfolders too
    };
    for (const auto& c : cases) {
        ComposerFixture f({1});
        f.dir.write("m/up.JPG", "cover");
        f.dir.write("m/Other.jpg", "cover");
        f.dir.write("covers/a.jpg", "a");
        f.dir.write("covers/sub/b.JPG", "b");
        f.dir.write("covers/notes.txt", "");
        f.window.setChecked(c.radio, true);
        f.window.setText("编辑框_随机封面目录", (f.dir.path() / "covers").string());
        UploadJob job = f.compose((f.dir.path() / c.video).string());
        EXPECT_EQ(job.cover.file, c.expected.empty() ? "" : (f.dir.path() / c.expected).string()) << c.radio;
    }
}

TEST(Cover, RandomCoverFolderMissingOrWithoutImagesGivesNone) {
    for (const std::string folder : {"nothing-here", "empty", ""}) {
        ComposerFixture f;
        f.dir.write("empty/readme.txt", "");
        f.window.setChecked("单选框_本地随机封面", true);
        f.window.setText("编辑框_随机封面目录", folder.empty() ? "" : (f.dir.path() / folder).string());
        UploadJob job = f.compose((f.dir.path() / "m/v.mp4").string());
        EXPECT_EQ(job.cover.kind, CoverChoice::Kind::File) << folder;
        EXPECT_EQ(job.cover.file, "") << folder;
        EXPECT_TRUE(f.draw.bounds.empty());
    }
}

TEST(CopyRandomCover, CopiesATopLevelImageNextToTheVideoWithoutOverwriting) {
    ComposerFixture f({0, 0});
    f.dir.write("covers/sub/deep.jpg", "deep");
    f.dir.write("covers/top.jpg", "top");
    const auto video = f.dir.write("m/v.mp4", "video");
    const auto taken = f.dir.write("m/w.mp4", "video");
    f.dir.write("m/w.jpg", "own cover");
    f.window.setText("编辑框_随机封面目录", (f.dir.path() / "covers").string());

    f.window.setChecked("单选框_本地封面", true);
    f.composer.copyRandomCover(video.string());
    EXPECT_FALSE(std::filesystem::exists(f.dir.path() / "m/v.jpg"));

    f.window.setChecked("单选框_本地随机封面", true);
    f.composer.copyRandomCover(video.string());
    f.composer.copyRandomCover(taken.string());
    EXPECT_EQ(f.dir.read("m/v.jpg"), "top");
    EXPECT_EQ(f.dir.read("m/w.jpg"), "own cover");
    EXPECT_EQ(f.dir.read("covers/top.jpg"), "top");
}

TEST(TitleLibrary, SequentialUseGoesRoundInOrderAndCountsEachRefill) {
    ComposerFixture f;
    f.window.setText("编辑框_标题库", "A\r\nB\r\n");
    EXPECT_EQ(f.titles(5), (std::vector<std::string>{"A", "B", "A", "B", "A"}));
    EXPECT_EQ(f.window.caption("标签5"), "一行一个，检测到标题数量：2");

    f.window.setText("编辑框_标题库", "X");  // takes effect once the pool is used up
    EXPECT_EQ(f.titles(3), (std::vector<std::string>{"B", "X", "X"}));
    EXPECT_EQ(f.window.caption("标签5"), "一行一个，检测到标题数量：1");
}

TEST(TitleLibrary, RandomUseDrawsWithoutRepetitionUntilRefilled) {
    ComposerFixture f({3, 1, 1, 2});
    f.window.setChecked("选择框_随机", true);
    f.window.setText("编辑框_标题库", "A\nB\nC");
    EXPECT_EQ(f.titles(4), (std::vector<std::string>{"C", "A", "B", "B"}));
    EXPECT_EQ(f.draw.bounds, (std::vector<std::pair<int, int>>{{1, 3}, {1, 2}, {1, 1}, {1, 3}}));
}

TEST(TitleLibrary, FilesAreCutAtCommasAndOtherLinesAreTitles) {
    ComposerFixture f;
    const auto file = f.dir.write("titles.txt", "x,y,z\r\nw");
    f.dir.write("empty.txt", "");
    const std::string missing = (f.dir.path() / "missing.txt").string();
    f.window.setText("编辑框_标题库", ",lead\r\n" + file.string() + "\r\n\r\n" + (f.dir.path() / "empty.txt").string() +
                                          "\r\n" + missing);
    f.composer.refillTitlePool();
    EXPECT_EQ(f.window.caption("标签5"), "一行一个，检测到标题数量：6");
    EXPECT_EQ(f.titles(6), (std::vector<std::string>{",lead", "x", "y", "z\r\nw", "", missing}));
    EXPECT_EQ(f.pool.size(), 0u);
}

TEST(TitleLibrary, SplittingKeepsEmptyPiecesButNoneAfterATrailingSeparator) {
    EXPECT_EQ(splitPieces(",a,,b,", ","), (std::vector<std::string>{"", "a", "", "b"}));
    EXPECT_EQ(splitPieces("", ","), std::vector<std::string>{});
    EXPECT_EQ(splitPieces(",", ","), std::vector<std::string>{""});
}

std::string utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(TitleLibrary, TitleFilesInAnyCommonEncodingGiveTheSameTitles) {
    const std::vector<std::string> expected = {"第一个标题", "第二个标题\r\n第三"};
    const std::vector<std::pair<std::string, std::string>> files = {
        {"utf8", "第一个标题,第二个标题\r\n第三"},
        {"utf8-bom", "\xEF\xBB\xBF第一个标题,第二个标题\r\n第三"},
        {"utf16le", utf16(u"第一个标题,第二个标题\r\n第三", false)},
        {"utf16be", utf16(u"第一个标题,第二个标题\r\n第三", true)},
        {"gbk",
         "\xb5\xda\xd2\xbb\xb8\xf6\xb1\xea\xcc\xe2\x2c\xb5\xda\xb6\xfe\xb8\xf6\xb1\xea\xcc\xe2\x0d\x0a\xb5\xda"
         "\xc8\xfd"},
    };
    TempDir dir;
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(titlesFromLibrary(dir.write(name + ".txt", bytes).string()), expected) << name;
}

struct TitleCase {
    std::string name;
    bool fromLibrary;
    bool affixes;
    std::string library;
    std::optional<std::string> expected;
};

class ComposeTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ComposeTitle, GivesThisTitle) {
    const TitleCase& c = GetParam();
    ComposerFixture f;
    f.window.setChecked(c.fromLibrary ? "单选框_标题库" : "单选框_视频文件名", true);
    f.window.setChecked("选择框_标题附加", c.affixes);
    f.window.setText("编辑框_标题前", "P");
    f.window.setText("编辑框_标题后", "S");
    f.window.setText("编辑框_标题库", c.library);
    const UploadJob job = f.compose("/d/m/abc.mp4");
    EXPECT_EQ(f.typedTitle(job), c.expected);
    EXPECT_EQ(job.titleSource == TitleSource::Library, c.fromLibrary && !c.library.empty() && c.expected != "abc");
}

INSTANTIATE_TEST_SUITE_P(Cases, ComposeTitle,
                         ::testing::Values(TitleCase{"FileNameLeavesThePagesTitle", false, false, "T", std::nullopt},
                                           TitleCase{"FileNameWithPrefixAndSuffix", false, true, "T", "PabcS"},
                                           TitleCase{"LibraryTitle", true, false, "T", "T"},
                                           TitleCase{"LibraryTitleWithPrefixAndSuffix", true, true, "T", "PTS"},
                                           TitleCase{"EmptyLibraryGivesTheFileName", true, true, "", "PabcS"},
                                           TitleCase{"EmptyLibraryLineGivesTheFileName", true, false, "\r\nB", "abc"}),
                         [](const auto& info) { return info.param.name; });

// A library title is spent only on a video the site got: a job that failed gives it back,
// and the next job takes it again (the affixes are not part of what goes back).
TEST(TitleLibrary, AFailedJobGivesItsLibraryTitleBack) {
    ComposerFixture f;
    f.window.setChecked("单选框_标题库", true);
    f.window.setChecked("选择框_标题附加", true);
    f.window.setText("编辑框_标题前", "P");
    f.window.setText("编辑框_标题库", "A\r\nB");
    const UploadJob failed = f.compose("/d/m/abc.mp4");
    EXPECT_EQ(failed.title, "PA");
    f.composer.giveBack(failed);
    EXPECT_EQ(f.compose("/d/m/abc.mp4").title, "PA");
    EXPECT_EQ(f.compose("/d/m/abc.mp4").title, "PB");
    f.window.setChecked("单选框_视频文件名", true);
    f.composer.giveBack(f.compose("/d/m/abc.mp4"));  // not from the library: nothing goes back
    EXPECT_EQ(f.pool.size(), 0u);
}

// Which tags are typed and how many of the page's recommendations are clicked, per tag mode.
TEST(ComposeTags, FollowTheTagMode) {
    struct Case {
        const char* radio;
        std::string count;
        std::vector<std::string> typed;
        int recommended;
    };
    const std::vector<Case> cases = {
        {"单选框标签固定", "5", {"原创", "视频", ""}, 0},  // an empty piece is typed as written
        {"单选框_系统推荐标签", "1", {}, 2},             // at least two
        {"单选框_系统推荐标签", "25", {}, 20},           // at most twenty
        {"单选框_混合标签", "5", {"原创", "视频", ""}, 2},  // the typed ones count towards the total
        {"单选框ai标签", "5", {}, 0},
    };
    for (const auto& c : cases) {
        ComposerFixture f;
        f.window.setChecked(c.radio, true);
        f.window.setText("编辑框_固定标签", "原创+视频+");
        f.window.setText("编辑框_系统标签个数", c.count);
        f.window.setText("编辑框_混合标签个数", c.count);
        const UploadJob job = f.compose("/d/m/abc.mp4");
        EXPECT_EQ(job.typedTags, c.typed) << c.radio << " " << c.count;
        EXPECT_EQ(job.recommendedTags, c.recommended) << c.radio << " " << c.count;
    }
}

TEST(ComposeJob, TakesOriginalityAndZoneFromTheWindow) {
    ComposerFixture f;
    f.window.setItems("组合框1", {{"动画", 1}, {"游戏", 4}});
    f.window.setIndex("组合框1", 1);
    f.window.setChecked("单选框_转载", true);
    f.window.setText("编辑框_转载说明", "来源");
    const UploadJob job = f.compose("/d/m/abc.mp4", "小明");
    EXPECT_EQ(job.accountId, "7");
    EXPECT_EQ(job.nickname, "小明");
    EXPECT_EQ(job.originality, Originality::Repost);
    EXPECT_EQ(job.repostSource, "来源");
    EXPECT_EQ(job.zoneIndex, 1);
    EXPECT_EQ(job.zone, "游戏");
    EXPECT_EQ(job.subZoneIndex, -1);
    EXPECT_EQ(job.subZone, "");
}

TEST(TitlePool, IsSharedAndHandsEachTitleOutOnce) {
    TitlePool pool;
    std::vector<std::string> library;
    for (int i = 0; i < 4000; ++i) library.push_back(std::to_string(i));
    const auto refill = [&] { return library; };
    std::vector<std::vector<std::string>> taken(4);
    std::vector<std::thread> threads;
    for (auto& mine : taken)
        threads.emplace_back([&pool, &refill, &mine] {
            for (int i = 0; i < 1000; ++i) mine.push_back(*pool.take(refill, [](std::size_t n) { return n / 2; }));
        });
    for (auto& t : threads) t.join();
    std::set<std::string> all;
    for (const auto& mine : taken) all.insert(mine.begin(), mine.end());
    EXPECT_EQ(all.size(), library.size());
    EXPECT_EQ(pool.size(), 0u);
}

}  // namespace
}  // namespace clipmill::testing
