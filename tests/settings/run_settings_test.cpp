#include "settings/run_settings.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "settings/control_table.h"

namespace clipmill {
namespace {

TEST(RunSettings, HasOneFieldPerSettingControlInWindowOrder) {
    WindowState state(controlTable());
    RunSettings settings(state);
    std::vector<std::pair<std::string, ControlKind>> expected;
    for (const auto& c : controlTable())
        if (c.kind == ControlKind::TextField || c.kind == ControlKind::CheckBox ||
            c.kind == ControlKind::RadioButton || c.kind == ControlKind::DropDown)
            expected.emplace_back(c.name, c.kind);
    EXPECT_EQ(settings.fields(), expected);
}

TEST(RunSettings, ReadsTheStateAtTheMomentOfUse) {
    WindowState state(controlTable());
    RunSettings settings(state);
    EXPECT_EQ(settings.编辑框_账号间隔.number(), 80);

    // Changed elsewhere (the window, another thread) after the view was made.
    std::thread([&] {
        state.setText("编辑框_账号间隔", "15");
        state.setChecked("选择框_自动放弃", false);
        state.setChecked("单选框_移动", true);
        state.setItems("组合框1", {{"动画", 1}, {"游戏", 4}});
        state.setIndex("组合框1", 1);
    }).join();
    EXPECT_EQ(settings.编辑框_账号间隔.text(), "15");
    EXPECT_EQ(settings.编辑框_账号间隔.number(), 15);
    EXPECT_FALSE(settings.选择框_自动放弃.checked());
    EXPECT_TRUE(settings.单选框_移动.selected());
    EXPECT_FALSE(settings.单选框_删除.selected());
    EXPECT_EQ(settings.组合框1.index(), 1);
    EXPECT_EQ(settings.组合框1.items()[1], (DropDownItem{"游戏", 4}));

    // A copy is a second view of the same state, not a snapshot.
    RunSettings copy = settings;
    state.setText("放弃秒", "600");
    EXPECT_EQ(copy.放弃秒.number(), 600);
}

TEST(RunSettings, TextThatIsNotANumberReadsZero) {
    WindowState state(controlTable());
    RunSettings settings(state);
    for (const char* text : {"abc", "", "  ", "秒"}) {
        settings.编辑框_视频间隔.set(text);
        EXPECT_EQ(settings.编辑框_视频间隔.number(), 0) << '"' << text << '"';
        EXPECT_EQ(settings.编辑框_视频间隔.text(), text);
    }
}

TEST(RunSettings, WritesGoToTheStateAndRadioGroupsStayExclusive) {
    WindowState state(controlTable());
    RunSettings settings(state);
    settings.单选框_本地封面.select();
    EXPECT_TRUE(state.checked("单选框_本地封面"));
    EXPECT_FALSE(state.checked("单选框_系统封面_随机"));
    EXPECT_TRUE(state.checked("单选框_混合标签"));  // another group is untouched

    settings.编辑框_账号序列.set("4");
    EXPECT_EQ(state.text("编辑框_账号序列"), "4");
    settings.选择框_禁止指定时间.set(true);
    EXPECT_TRUE(state.checked("选择框_禁止指定时间"));
    settings.组合框2.setItems({{"单机游戏", 17}});
    settings.组合框2.setIndex(0);
    EXPECT_EQ(state.index("组合框2"), 0);
    EXPECT_EQ(state.items("组合框2").size(), 1u);
}

TEST(RunSettings, RefusesAStateWithoutItsControls) {
    WindowState partial(std::vector<ControlDef>{{.name = "编辑框_单账号上传", .kind = ControlKind::TextField}});
    EXPECT_THROW(RunSettings{partial}, std::invalid_argument);
}

}  // namespace
}  // namespace clipmill
