#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/control_def.h"
#include "settings/window_state.h"

namespace clipmill {

// What a RunSettings hands to each of its fields as they are built: the state they read,
// and the list of (control, kind) that the fields add themselves to.
struct SettingBinder {
    explicit SettingBinder(WindowState& state) : state(&state) {}
    WindowState* state;
    std::vector<std::pair<std::string, ControlKind>> fields;
};

// A named control of a WindowState. Holds no value: every read goes to the state.
class SettingHandle {
public:
    const std::string& control() const { return control_; }

protected:
    // Throws std::invalid_argument when the state has no such control.
    SettingHandle(SettingBinder& binder, ControlKind kind, const char* control);
    WindowState& state() const { return *state_; }

private:
    WindowState* state_;
    std::string control_;
};

class TextSetting : public SettingHandle {
public:
    TextSetting(SettingBinder& binder, const char* control)
        : SettingHandle(binder, ControlKind::TextField, control) {}
    std::string text() const { return state().text(control()); }
    // Decimal text as a whole number; text that is not a number reads 0.
    int number() const { return state().number(control()); }
    void set(const std::string& text) const { state().setText(control(), text); }
};

class CheckSetting : public SettingHandle {
public:
    CheckSetting(SettingBinder& binder, const char* control)
        : SettingHandle(binder, ControlKind::CheckBox, control) {}
    bool checked() const { return state().checked(control()); }
    void set(bool checked) const { state().setChecked(control(), checked); }
};

class RadioSetting : public SettingHandle {
public:
    RadioSetting(SettingBinder& binder, const char* control)
        : SettingHandle(binder, ControlKind::RadioButton, control) {}
    bool selected() const { return state().checked(control()); }
    // Clears the other members of the group.
    void select() const { state().setChecked(control(), true); }
};

class DropDownSetting : public SettingHandle {
public:
    DropDownSetting(SettingBinder& binder, const char* control)
        : SettingHandle(binder, ControlKind::DropDown, control) {}
    // 0-based, -1 when nothing is chosen.
    int index() const { return state().index(control()); }
    std::vector<DropDownItem> items() const { return state().items(control()); }
    void setIndex(int index) const { state().setIndex(control(), index); }
    void setItems(std::vector<DropDownItem> items) const { state().setItems(control(), std::move(items)); }
};

#define CLIPMILL_SETTING(Type, control) Type control{binder_, #control}

// The typed view of the main window's setting controls: one field per text field, check box,
// radio button and drop-down, named like its control, in window order. A field reads the
// control's value at the moment it is used, so a change made during a run takes effect at the
// next read. Safe to use from any thread, as the WindowState is.
class RunSettings {
public:
    explicit RunSettings(WindowState& state) : binder_(state) {}

    // (control, kind) of every field, in declaration order.
    const std::vector<std::pair<std::string, ControlKind>>& fields() const { return binder_.fields; }

private:
    SettingBinder binder_;  // declared first: the fields below register with it

public:
    // Page "主界面"
    CLIPMILL_SETTING(CheckSetting, 选择框_切换账号);
    CLIPMILL_SETTING(TextSetting, 编辑框_单账号上传);
    CLIPMILL_SETTING(TextSetting, 编辑框_视频素材目录);
    CLIPMILL_SETTING(TextSetting, 编辑框_账号标识);
    CLIPMILL_SETTING(CheckSetting, 选择框_单独设置);
    CLIPMILL_SETTING(DropDownSetting, 组合框1);
    CLIPMILL_SETTING(DropDownSetting, 组合框2);
    CLIPMILL_SETTING(RadioSetting, 单选框_自制);
    CLIPMILL_SETTING(RadioSetting, 单选框_转载);
    CLIPMILL_SETTING(TextSetting, 编辑框_转载说明);
    CLIPMILL_SETTING(RadioSetting, 单选框_视频文件名);
    CLIPMILL_SETTING(RadioSetting, 单选框_标题库);
    CLIPMILL_SETTING(RadioSetting, 单选框_系统封面);
    CLIPMILL_SETTING(TextSetting, 编辑框_封面图序列);
    CLIPMILL_SETTING(RadioSetting, 单选框_系统封面_随机);
    CLIPMILL_SETTING(RadioSetting, 单选框_本地封面);
    CLIPMILL_SETTING(RadioSetting, 单选框_本地随机封面);
    CLIPMILL_SETTING(TextSetting, 编辑框_随机封面目录);
    CLIPMILL_SETTING(RadioSetting, 单选框标签固定);
    CLIPMILL_SETTING(TextSetting, 编辑框_固定标签);
    CLIPMILL_SETTING(RadioSetting, 单选框ai标签);
    CLIPMILL_SETTING(RadioSetting, 单选框_系统推荐标签);
    CLIPMILL_SETTING(TextSetting, 编辑框_系统标签个数);
    CLIPMILL_SETTING(RadioSetting, 单选框_混合标签);
    CLIPMILL_SETTING(TextSetting, 编辑框_混合标签个数);
    CLIPMILL_SETTING(CheckSetting, 选择框_填写简介);
    CLIPMILL_SETTING(TextSetting, 编辑框_简介模板内容);
    CLIPMILL_SETTING(CheckSetting, 选择框_读取子文件夹);
    CLIPMILL_SETTING(RadioSetting, 单选框_选择视频_随机);
    CLIPMILL_SETTING(RadioSetting, 单选框_选择视频_顺序);
    // Page "设置"
    CLIPMILL_SETTING(RadioSetting, 单选框_删除);
    CLIPMILL_SETTING(RadioSetting, 单选框_移动);
    CLIPMILL_SETTING(TextSetting, 编辑框_使用过视频目录);
    CLIPMILL_SETTING(TextSetting, 编辑框_视频间隔);
    CLIPMILL_SETTING(TextSetting, 编辑框_视频间隔1);
    CLIPMILL_SETTING(CheckSetting, 选择框_自动循环);
    CLIPMILL_SETTING(TextSetting, 编辑框_循环间隔);
    CLIPMILL_SETTING(CheckSetting, 选择框_自动放弃);
    CLIPMILL_SETTING(TextSetting, 放弃秒);
    CLIPMILL_SETTING(CheckSetting, 选择框_2账号间隔);
    CLIPMILL_SETTING(TextSetting, 编辑框_账号间隔);
    CLIPMILL_SETTING(CheckSetting, 选择框_禁止指定时间);
    CLIPMILL_SETTING(TextSetting, 编辑框_禁止指定时间);
    CLIPMILL_SETTING(CheckSetting, 选择框_标题附加);
    CLIPMILL_SETTING(TextSetting, 编辑框_标题前);
    CLIPMILL_SETTING(TextSetting, 编辑框_标题后);
    // Page "浏览器"
    CLIPMILL_SETTING(TextSetting, 编辑框_google);
    // Page "换ip"
    CLIPMILL_SETTING(CheckSetting, 选择框_换ip);
    CLIPMILL_SETTING(TextSetting, 宽带_名称);
    CLIPMILL_SETTING(TextSetting, 宽带_账号);
    CLIPMILL_SETTING(TextSetting, 宽带_密码);
    // Page "标题库"
    CLIPMILL_SETTING(TextSetting, 编辑框_标题库);
    CLIPMILL_SETTING(CheckSetting, 选择框_随机);
    // The account list
    CLIPMILL_SETTING(TextSetting, 编辑框_账号序列);
};

#undef CLIPMILL_SETTING

}  // namespace clipmill
