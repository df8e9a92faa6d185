#include <QAbstractButton>

#include "settings/ini_file.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

using ExitTest = WindowTest;

IniFile savedSettings(const clipmill::testing::TempDir& dir) { return IniFile::load(dir.path() / "data" / "setsoft.ini"); }

void click(MainWindow& window, const char* button) {
    QTest::mouseClick(window.findChild<QAbstractButton*>(QString::fromUtf8(button)), Qt::LeftButton);
}

TEST_F(ExitTest, SaveButtonWritesEverythingAndSaysSo) {
    program->window().setText("编辑框_固定标签", "甲+乙");
    program->window().setItems("组合框1", {{"动画", 1}, {"游戏", 4}});
    program->window().setIndex("组合框1", 1);
    click(*window, "按钮_保存账号");
    const IniFile ini = savedSettings(dir);
    EXPECT_EQ(ini.value("编辑框", "编辑框_固定标签", "?"), "甲+乙");
    EXPECT_EQ(ini.value("单选框", "单选框_混合标签", "?"), "真");
    EXPECT_EQ(ini.value("组合框", "组合框1", "?"), "动画<|>1<||>游戏<|>4<||>1<|>游戏");
    EXPECT_EQ(ini.value("pz", "f1", "?"), "1");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "保存成功");
    EXPECT_TRUE(exitCodes.empty());
}

// "关闭软件" keeps the zone selection of the last save; closing from the title bar stores it.
TEST_F(ExitTest, BothExitsSaveAndEndWithCodeZeroButOnlyTheTitleBarStoresTheZone) {
    program->window().setText("编辑框_固定标签", "丙");
    program->window().setItems("组合框1", {{"动画", 1}, {"游戏", 4}});
    program->window().setIndex("组合框1", 1);
    click(*window, "按钮26");
    EXPECT_EQ(exitCodes, std::vector<int>{0});
    EXPECT_EQ(savedSettings(dir).value("编辑框", "编辑框_固定标签", "?"), "丙");
    EXPECT_EQ(savedSettings(dir).value("pz", "f1", "none"), "none");

    window->show();
    window->close();
    EXPECT_EQ(exitCodes, (std::vector<int>{0, 0}));
    EXPECT_EQ(savedSettings(dir).value("pz", "f1", "none"), "1");
}

// "重启软件" starts the program file of the program folder again and ends this program; with
// that file gone it does nothing and the program keeps running.
TEST_F(ExitTest, RestartStartsTheProgramFileOfTheProgramFolderOrDoesNothingWhenItIsGone) {
    click(*window, "按钮1");
    EXPECT_TRUE(exitCodes.empty());

    const auto program = dir.write("clipmill", "#!/bin/sh\necho started > \"$(dirname \"$0\")/restarted\"\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    click(*window, "按钮1");
    EXPECT_EQ(exitCodes, std::vector<int>{0});
    EXPECT_TRUE(waitUntil([&] { return dir.read("restarted") == "started\n"; }, 8000));
}

}  // namespace
}  // namespace clipmill::ui::testing
