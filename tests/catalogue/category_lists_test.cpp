#include "catalogue/category_lists.h"

#include <gtest/gtest.h>

#include "catalogue/category_refresh.h"
#include "fixtures/held_clipboard.h"
#include "fixtures/recording_automation.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"
#include "support/gbk.h"

namespace clipmill {
namespace {

TEST(CategoryTree, BuiltInCatalogueHoldsTheZonesInPageOrder) {
    const CategoryTree& tree = CategoryTree::builtIn();
    ASSERT_EQ(tree.zones().size(), 18u);
    EXPECT_EQ(tree.subZoneCount(), 89u);
    const std::pair<const char*, std::size_t> zones[] = {
        {"生活", 7}, {"游戏", 8}, {"娱乐", 2}, {"知识", 6}, {"影视", 4}, {"音乐", 8},
        {"动画", 6}, {"时尚", 5}, {"美食", 5}, {"数码", 4}, {"动物圈", 6}, {"舞蹈", 6},
        {"国创", 5}, {"鬼畜", 5}, {"纪录片", 4}, {"番剧", 2}, {"电视剧", 2}, {"电影", 4}};
    for (std::size_t i = 0; i < std::size(zones); ++i) {
        EXPECT_EQ(tree.zones()[i].name, zones[i].first) << i;
        EXPECT_EQ(tree.zones()[i].subZones.size(), zones[i].second) << zones[i].first;
    }
    EXPECT_EQ(tree.zones()[1].subZones[3], "电子竞技");
    EXPECT_EQ(tree.zones()[17].subZones.back(), "国产电影");
    // The middle dot is the one GBK holds as A1 A4.
    EXPECT_EQ(utf8ToGbk(tree.zones()[4].subZones[3]), "\xD4\xA4\xB8\xE6\xA1\xA4\xD7\xCA\xD1\xB6");
    EXPECT_EQ(CategoryTree::parse(tree.text(true)), tree);
    EXPECT_EQ(tree.text(false) + "\r\n", tree.text(true));
}

struct Selected {
    std::string zone;
    std::string subZone;
    std::size_t subZones;
};

Selected selected(const WindowState& window) {
    auto textAt = [&](const char* list) {
        const auto items = window.items(list);
        const int index = window.index(list);
        return index >= 0 && index < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(index)].text
                                                                     : std::string("<none>");
    };
    return {textAt(kZoneList), textAt(kSubZoneList), window.items(kSubZoneList).size()};
}

TEST(FillCategoryLists, SelectsTheSavedZoneAndSubZone) {
    struct Case {
        CategorySelection saved;
        Selected expected;
    } cases[] = {
        {{0, 0}, {"生活", "日常", 7}},
        {{1, 3}, {"游戏", "电子竞技", 8}},
        {{17, 3}, {"电影", "国产电影", 4}},
        {{-1, 0}, {"<none>", "<none>", 0}},
        {{18, 0}, {"<none>", "<none>", 0}},
        {{2, 2}, {"娱乐", "<none>", 2}},
    };
    for (const Case& c : cases) {
        WindowState window(controlTable());
        window.setItems(kSubZoneList, {{"left over", 0}});
        window.setIndex(kSubZoneList, 0);
        fillCategoryLists(window, c.saved);
        const Selected got = selected(window);
        EXPECT_EQ(window.items(kZoneList).size(), 18u);
        EXPECT_EQ(got.zone, c.expected.zone) << c.saved.zone;
        EXPECT_EQ(got.subZone, c.expected.subZone) << c.saved.zone << "/" << c.saved.subZone;
        EXPECT_EQ(got.subZones, c.expected.subZones) << c.saved.zone;
    }
}

TEST(FillCategoryLists, ReadsTheSelectionFromTheSettingsFile) {
    testing::TempDir dir;
    WindowState window(controlTable());
    fillCategoryLists(window, dir.path());
    EXPECT_EQ(selected(window).subZone, "日常") << "no settings file";
    dir.write("data/setsoft.ini", "[pz]\r\nf1=1\r\nf2=3\r\n");
    fillCategoryLists(window, dir.path());
    EXPECT_EQ(selected(window).subZone, "电子竞技");
}

TEST(ShowSubZones, FollowsTheSelectedZone) {
    WindowState window(controlTable());
    fillCategoryLists(window, CategorySelection{1, 3});
    window.setIndex(kZoneList, 11);
    showSubZones(window);
    EXPECT_EQ(selected(window).subZone, "宅舞");
    EXPECT_EQ(selected(window).subZones, 6u);
    window.setIndex(kZoneList, -1);
    showSubZones(window);
    EXPECT_EQ(selected(window).subZones, 0u);
    EXPECT_EQ(window.index(kSubZoneList), -1);
}

TEST(RefreshCategories, AwayFromTheUploadPageReturnsTheListsToTheSavedSelection) {
    testing::TempDir dir;
    dir.write("data/setsoft.ini", "[pz]\r\nf1=1\r\nf2=3\r\n");
    WindowState window(controlTable());
    fillCategoryLists(window, CategorySelection{5, 1});
    testing::RecordingAutomation browser;
    browser.scriptPresence(".select-box-v2-controller", {0});
    struct : Clipboard {
        void setText(const std::string& t) override { held = t; }
        std::string text() override { return held; }
        std::string held = "untouched";
    } clipboard;
    int backgroundRuns = 0;
    CategoryRefreshServices services{browser, window, clipboard, dir.path(),
                                     [&](std::function<void()> work) { ++backgroundRuns, work(); }};
    StopSignal stop;
    SystemClock clock;
    Waiter waiter(clock, stop);
    EXPECT_EQ(refreshCategories(services, 7, waiter), RefreshOutcome::ListsRefilled);
    EXPECT_EQ(backgroundRuns, 1);
    EXPECT_EQ(selected(window).zone, "游戏");
    EXPECT_EQ(selected(window).subZone, "电子竞技");
    EXPECT_EQ(browser.callsStartingWith("click").size(), 0u);
    EXPECT_EQ(clipboard.held, "untouched");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "data" / "fenlei.txt"));
}

// Stop, the window closing (which stops its tasks) or the browser going away in the middle of
// the zones would leave a catalogue missing its last zones, or with empty ones.
TEST(RefreshCategories, AReadingCutShortWritesNeitherTheFileNorTheClipboard) {
    enum class Cut { Stopped, BrowserGone };
    for (const Cut cut : {Cut::Stopped, Cut::BrowserGone}) {
        testing::TempDir dir;
        dir.write("data/fenlei.txt", "old");
        WindowState window(controlTable());
        testing::RecordingAutomation browser;
        browser.scriptPresence(".select-box-v2-controller", {1});
        browser.scriptCount(".pre-item-content", 6);
        browser.scriptText(".pre-item-content", {"生活"});
        testing::HeldClipboard clipboard;
        clipboard.setText("untouched");
        StopSignal stop;
        FakeClock clock;
        Waiter waiter(clock, stop);
        browser.onCall = [&](const std::string& line) {
            if (line != "click .pre-item-content @4") return;
            if (cut == Cut::Stopped) stop.request();
            if (cut == Cut::BrowserGone) browser.scriptConnected(0);
        };
        CategoryRefreshServices services{browser, window, clipboard, dir.path()};
        EXPECT_EQ(refreshCategories(services, 7, waiter), RefreshOutcome::Interrupted);
        EXPECT_EQ(dir.read("data/fenlei.txt"), "old");
        EXPECT_EQ(clipboard.text(), "untouched");
        EXPECT_LE(browser.callsStartingWith("click .pre-item-content").size(), 3u) << "goes on after the cut";
    }
}

TEST(SubZoneNamesInHtml, TakesTheTextAfterEachMarkerUpToTheNextParagraphEnd) {
    EXPECT_EQ(subZoneNamesInHtml(R"(<div><p class="item-main">日常</p><span>x</span>)"
                                 R"(<p class="item-main">搞笑</p><p class="other">no</p></div>)"),
              (std::vector<std::string>{"日常", "搞笑"}));
    EXPECT_EQ(subZoneNamesInHtml(R"(<p class="item-main">)"), std::vector<std::string>{});
    EXPECT_EQ(subZoneNamesInHtml(""), std::vector<std::string>{});
    // The next search starts after the previous marker, not after its "</p>".
    EXPECT_EQ(subZoneNamesInHtml(R"(<p class="item-main"><b class="item-main">a</p>)"),
              (std::vector<std::string>{R"(<b class="item-main">a)", "a"}));
}

}  // namespace
}  // namespace clipmill
