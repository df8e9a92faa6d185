#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "catalogue/category_lists.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHint = "修改素材目录后，一定点击【修改账号信息】让设置生效";

class ListOperationsTest : public WindowTest {
protected:
    QTreeWidget* list() const { return widget<QTreeWidget>("超级列表框1"); }
    QAction* action(const char* text) const {
        return list()->findChild<QMenu*>("账号管理")->findChild<QAction*>(toQt(text));
    }

    // Accounts 100, 101, ... with the material folders /videos/1, /videos/2, ...
    void addAccounts(int count) {
        for (int i = 1; i <= count; ++i) {
            program->window().setText("编辑框_视频素材目录", "/videos/" + std::to_string(i));
            action("添加账号")->trigger();
        }
        ASSERT_TRUE(waitUntil([&] { return list()->topLevelItemCount() == count; }));
    }

    static std::vector<std::string> sorted(std::vector<std::string> texts) {
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    std::vector<std::string> column(int col) const {
        std::vector<std::string> texts;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            texts.push_back(fromQt(list()->topLevelItem(i)->text(col)));
        return texts;
    }

    void select(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    ::testing::AssertionResult shown(const std::string& control, const std::string& text) const {
        return waitUntil([&] { return fieldTextOf(control) == text; });
    }
    std::string fieldTextOf(const std::string& control) const { return fromQt(widget<QLineEdit>(control)->text()); }
};

TEST_F(ListOperationsTest, MovingTheSecondOfFiveRowsToTheBottomKeepsTheOtherNumbersAndLeavesTheStatusBehind) {
    addAccounts(5);
    program->accounts().setCell(1, kColumnDoneToday, "3");
    select(1);
    action("此项移动到最底部")->trigger();

    ASSERT_TRUE(waitUntil([&] { return column(kColumnId).back() == "101"; }));
    EXPECT_EQ(column(kColumnIndex), (std::vector<std::string>{"1", "3", "4", "5", "5"}));
    EXPECT_EQ(column(kColumnId), (std::vector<std::string>{"100", "102", "103", "104", "101"}));
    EXPECT_EQ(column(kColumnFolder).back(), "/videos/2");
    EXPECT_EQ(program->accounts().cell(4, kColumnDoneToday), "");
    EXPECT_EQ(program->accounts().cell(4, kColumnStatus), "");
    // The files are not touched: a reload numbers all five from 1 again.
    QTest::mouseClick(widget("按钮_读取所有账号"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return column(kColumnIndex) == std::vector<std::string>{"1", "2", "3", "4", "5"}; }));
    EXPECT_EQ(sorted(column(kColumnId)), (std::vector<std::string>{"100", "101", "102", "103", "104"}));
}

TEST_F(ListOperationsTest, DeletingFromTheMenuRenumbersWhileTheButtonLeavesAGap) {
    addAccounts(4);
    const fs::path files = dir.path() / "data" / "list";
    select(1);
    action("删除此账号")->trigger();
    ASSERT_TRUE(waitUntil([&] { return column(kColumnIndex) == std::vector<std::string>{"1", "2", "3"}; }));
    ASSERT_TRUE(waitUntil([&] { return sorted(column(kColumnId)) == std::vector<std::string>{"100", "102", "103"}; }));
    EXPECT_FALSE(fs::exists(files / "101.json"));

    const std::vector<std::string> ids = column(kColumnId);
    select(1);
    QTest::mouseClick(widget("按钮_删除本账号"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return list()->topLevelItemCount() == 2; }));
    EXPECT_EQ(column(kColumnIndex), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(column(kColumnId), (std::vector<std::string>{ids[0], ids[2]}));
    EXPECT_FALSE(fs::exists(files / (ids[1] + ".json")));
    EXPECT_TRUE(fs::exists(files / (ids[0] + ".json")) && fs::exists(files / (ids[2] + ".json")));
}

TEST_F(ListOperationsTest, ItemsThatNeedARowDoNothingWithoutOne) {
    addAccounts(3);
    list()->clearSelection();
    program->accounts().setCurrentRow(2);
    program->window().setText("编辑框_账号标识", "102");
    for (const char* item : {"删除此账号", "配置登陆此账号", "此项移动到最底部", "使用cookies登陆此账号"}) {
        SCOPED_TRACE(item);
        action(item)->trigger();
        window->waitForTasks();
        QCoreApplication::processEvents();
        EXPECT_EQ(column(kColumnId), (std::vector<std::string>{"100", "101", "102"}));
        EXPECT_EQ(program->accounts().currentRow(), 2);
        EXPECT_EQ(program->window().text("编辑框_账号标识"), "102");
    }
    EXPECT_FALSE(fs::exists(dir.path() / "huancun"));
}

TEST_F(ListOperationsTest, ARowWithoutFolderKeepsThePreviousFolderWhichModifyThenStores) {
    addAccounts(2);
    program->accounts().setCell(1, kColumnFolder, "");
    select(0);
    ASSERT_TRUE(shown("编辑框_视频素材目录", "/videos/1"));
    select(1);
    ASSERT_TRUE(shown("编辑框_账号标识", "101"));
    EXPECT_EQ(program->accounts().currentRow(), 1);
    EXPECT_EQ(fieldTextOf("编辑框_视频素材目录"), "/videos/1");

    QTest::mouseClick(widget("按钮_修改账号信息"), Qt::LeftButton);
    program->accounts().clear();
    QTest::mouseClick(widget("按钮_读取所有账号"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return column(kColumnFolder) == std::vector<std::string>{"/videos/1", "/videos/1"}; }));
}

TEST_F(ListOperationsTest, ChangingTheMaterialFolderShowsTheHintWhetherTypedOrSetBySelection) {
    addAccounts(2);
    auto* hint = widget<QLabel>("标签14");
    program->window().setCaption("标签14", "");
    ASSERT_TRUE(waitUntil([&] { return hint->text().isEmpty(); }));
    QTest::keyClicks(widget("编辑框_视频素材目录"), "x");
    EXPECT_TRUE(waitUntil([&] { return fromQt(hint->text()) == kHint; }));

    program->window().setCaption("标签14", "");
    ASSERT_TRUE(waitUntil([&] { return hint->text().isEmpty(); }));
    select(0);
    EXPECT_TRUE(waitUntil([&] { return fromQt(hint->text()) == kHint; }));
}

TEST_F(ListOperationsTest, FolderButtonsFillTheirFieldWithThePickedFolderAndCancelKeepsIt) {
    for (auto [button, field] :
         {std::pair{"按钮8", "编辑框_视频素材目录"}, std::pair{"按钮9", "编辑框_使用过视频目录"}}) {
        SCOPED_TRACE(button);
        program->window().setText(field, "/before");
        std::vector<std::pair<std::string, std::string>> asked;
        std::optional<std::string> answer = "  /picked/素材 ";
        window->folderPicker().setScript([&](const std::string& prompt, const std::string& start) {
            asked.emplace_back(prompt, start);
            return answer;
        });
        QTest::mouseClick(widget(button), Qt::LeftButton);
        EXPECT_TRUE(shown(field, "/picked/素材"));
        answer.reset();
        QTest::mouseClick(widget(button), Qt::LeftButton);
        EXPECT_EQ(program->window().text(field), "/picked/素材");
        ASSERT_EQ(asked.size(), 2u);
        EXPECT_EQ(asked[0], std::pair(std::string("请选择一个文件夹"), dir.str()));
    }
}

TEST_F(ListOperationsTest, ChoosingMoveFillsAnEmptyUsedFolderOnceAndCreatesIt) {
    const fs::path used = dir.path() / "已使用视频";
    program->window().setText("编辑框_使用过视频目录", "");
    program->window().setChecked("单选框_删除", true);
    QTest::mouseClick(widget("单选框_移动"), Qt::LeftButton);
    ASSERT_TRUE(shown("编辑框_使用过视频目录", used.string()));
    EXPECT_TRUE(fs::is_directory(used));

    program->window().setText("编辑框_使用过视频目录", "/elsewhere");
    QTest::mouseClick(widget("单选框_删除"), Qt::LeftButton);
    QTest::mouseClick(widget("单选框_移动"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(program->window().text("编辑框_使用过视频目录"), "/elsewhere");
}

TEST_F(ListOperationsTest, SubZonesFollowTheZoneTheUserChoosesAndRefreshWithoutUploadPageRestoresTheSavedOne) {
    fillCategoryLists(program->window(), CategorySelection{});
    auto* zones = widget<QComboBox>("组合框1");
    auto* subZones = widget<QComboBox>("组合框2");
    ASSERT_TRUE(waitUntil([&] { return zones->count() == 18 && subZones->currentText() == "日常"; }));

    zones->setFocus();
    QTest::keyClick(zones, Qt::Key_Down);
    ASSERT_TRUE(waitUntil([&] { return subZones->itemText(0) == "单机游戏"; }));
    EXPECT_EQ(zones->currentText(), "游戏");
    EXPECT_EQ(subZones->count(), 8);
    EXPECT_EQ(subZones->currentIndex(), 0);

    // A zone selected by the program does not refill the sub-zones by itself.
    program->window().setIndex("组合框1", 4);
    ASSERT_TRUE(waitUntil([&] { return zones->currentText() == "影视"; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(subZones->itemText(0), "单机游戏");

    // No browser shows the upload page: the lists go back to the (absent) saved selection.
    QTest::mouseClick(widget("按钮4"), Qt::LeftButton);
    window->waitForTasks();
    EXPECT_TRUE(waitUntil([&] { return zones->currentText() == "生活" && subZones->currentText() == "日常"; }));
    EXPECT_FALSE(fs::exists(dir.path() / "data" / "fenlei.txt"));
}

TEST_F(ListOperationsTest, BrowserVersionWithoutABrowserShowsTheCaptionsWithEmptyValues) {
    QTest::mouseClick(widget("按钮11"), Qt::LeftButton);
    window->waitForTasks();
    EXPECT_TRUE(waitUntil([&] {
        return program->window().caption("标签_版本") ==
               "浏览器版本：\r\nV8引擎版本：\r\nUA：\r\n协议版本：\r\nwebkit版本：\r\n软件版本：8.8";
    }));
}

}  // namespace
}  // namespace clipmill::ui::testing
