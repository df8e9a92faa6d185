#include <gtest/gtest.h>

#include "fixtures/automation_fixture.h"
#include "catalogue/category_lists.h"
#include "catalogue/category_refresh.h"
#include "fixtures/held_clipboard.h"
#include "settings/control_table.h"
#include "support/gbk.h"

namespace clipmill::testing {
namespace {

// The zone drop-down of the upload page: a controller that opens the zone entries (the first
// is not a zone), and a panel that shows the sub-zones of the zone clicked. `slow` names a
// zone whose sub-zones take three seconds to appear.
std::string zonePage(const std::string& zones) {
    return R"HTML(<!doctype html>
<html><head><meta charset="utf-8"></head><body>
<div class="select-box-v2-controller" style="width:200px;height:30px">请选择分区</div>
<div id="zones" style="display:none"></div>
<div class="drop-cascader-list-wrp"></div>
<script>
const zones = )HTML" + zones + R"HTML(;
const slow = '慢区';
const list = document.getElementById('zones');
const panel = document.querySelector('.drop-cascader-list-wrp');
let clicks = 0;
for (const [name, subs] of zones) {
  const entry = document.createElement('div');
  entry.className = 'pre-item-content';
  entry.textContent = name;
  entry.style.height = '24px';
  entry.addEventListener('click', () => {
    panel.innerHTML = '';
    const click = ++clicks;
    // Sub-zones that come late are not shown once another zone has been clicked.
    const show = () => {
      if (click !== clicks) return;
      panel.innerHTML = subs.map(s => '<div class="drop-cascader-item"><p class="item-main">' + s +
                                      '</p><p class="item-sub">说明</p></div>').join('');
    };
    if (name === slow) setTimeout(show, 3000); else show();
  });
  list.appendChild(entry);
}
document.querySelector('.select-box-v2-controller')
  .addEventListener('click', () => { list.style.display = 'block'; });
</script></body></html>)HTML";
}

class CategoryPage : public SharedBrowserTest {
protected:
    CategoryPage() { clipboard.setText("untouched"); }

    static void SetUpTestSuite() {
        startShared({{"/zones.html", zonePage(R"([["推荐", ["不是分区"]], ["生活", ["日常", "搞笑"]],
                                                  ["游戏", ["单机游戏"]], ["慢区", ["来得太晚"]],
                                                  ["影视", ["预告·资讯"]]])")},
                     {"/only-first.html", zonePage(R"([["推荐", ["不是分区"]]])")},
                     {"/other.html", "<!doctype html><title>其他</title>"}},
                    "/zones.html");
    }
    static void TearDownTestSuite() { stopShared(); }

    RefreshOutcome refreshOn(const std::string& page) {
        EXPECT_EQ(automation().form_forward_url(handle(), url(page)), 1);
        CategoryRefreshServices services{automation(), window, clipboard, dir.path()};
        return refreshCategories(services, handle(), waiter);
    }
    std::string categoryFile() { return dir.read("data/fenlei.txt"); }

    TempDir dir;
    WindowState window{controlTable()};
    HeldClipboard clipboard;
    StopSignal stop;
    SystemClock clock;
    Waiter waiter{clock, stop};
};

TEST_F(CategoryPage, ReadsEveryZoneAfterTheFirstIntoTheFileAndTheClipboard) {
    fillCategoryLists(window, CategorySelection{1, 3});
    ASSERT_EQ(refreshOn("/zones.html"), RefreshOutcome::ReadFromPage);
    const std::string expected =
        "++生活--日常--搞笑++\r\n"
        "++游戏--单机游戏++\r\n"
        "++慢区++\r\n"
        "++影视--预告·资讯++\r\n";
    EXPECT_EQ(clipboard.text(), expected);
    EXPECT_EQ(categoryFile(), utf8ToGbk(expected));
    EXPECT_NE(categoryFile().find("\xA1\xA4"), std::string::npos);
    // The lists keep the built-in catalogue and their selection.
    EXPECT_EQ(window.items(kZoneList).size(), 18u);
    EXPECT_EQ(window.index(kZoneList), 1);
    EXPECT_EQ(window.index(kSubZoneList), 3);
}

TEST_F(CategoryPage, APageWithOnlyItsFirstEntryGivesAnEmptyFileAndClipboard) {
    dir.write("data/fenlei.txt", "old");
    ASSERT_EQ(refreshOn("/only-first.html"), RefreshOutcome::ReadFromPage);
    EXPECT_EQ(clipboard.text(), "");
    EXPECT_EQ(categoryFile(), "");
}

TEST_F(CategoryPage, AnotherPageRefillsTheListsInstead) {
    dir.write("data/setsoft.ini", "[pz]\r\nf1=1\r\nf2=3\r\n");
    fillCategoryLists(window, CategorySelection{4, 2});
    ASSERT_EQ(refreshOn("/other.html"), RefreshOutcome::ListsRefilled);
    EXPECT_EQ(window.index(kZoneList), 1);
    EXPECT_EQ(window.items(kSubZoneList)[static_cast<std::size_t>(window.index(kSubZoneList))].text, "电子竞技");
    EXPECT_EQ(clipboard.text(), "untouched");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "data" / "fenlei.txt"));
}

}  // namespace
}  // namespace clipmill::testing
