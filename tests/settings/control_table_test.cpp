#include "settings/control_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "fixtures/account_list_texts.h"
#include "settings/window_state.h"

namespace clipmill {
namespace {

// Width in pixels of a text in the 9 pt CJK UI font, rounded up: CJK characters 12 px,
// a space 3 px, the widest Latin letters 11 px, other ASCII 7 px.
int textWidth(const std::string& text) {
    int width = 0;
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            width += c == ' ' ? 3 : std::strchr("mwMW@%", c) ? 11 : 7;
            ++i;
        } else {
            width += 12;
            i += c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        }
    }
    return width;
}

constexpr int kLineHeight = 18;
constexpr int kIndicator = 20;  // check box and radio button mark with its spacing
constexpr int kTrail = 6;       // and the margin after their caption
constexpr int kTabStrip = 26;   // a page's first usable y, measured from its tab control
constexpr int kGroupBand = 16;  // a group box's first usable y

// Lines a caption takes when wrapped at `width`; CR LF starts a new line.
int wrappedLines(const std::string& caption, int width) {
    int lines = 0;
    size_t start = 0;
    while (true) {
        size_t end = caption.find("\r\n", start);
        std::string paragraph = caption.substr(start, end - start);
        // Character wrapping wastes up to one CJK character per line.
        int usable = width - 12;
        lines += std::max(1, (textWidth(paragraph) + usable - 1) / usable);
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

bool isToggle(const ControlDef& c) {
    return c.kind == ControlKind::CheckBox || c.kind == ControlKind::RadioButton;
}
int indentOf(const ControlDef& c) { return isToggle(c) ? kIndicator : 0; }
int trailOf(const ControlDef& c) { return isToggle(c) ? kTrail : 0; }

bool overlap(const Geometry& a, const Geometry& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST(ControlTable, NamesAreUniqueAndEveryParentComesEarlier) {
    const auto& table = controlTable();
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table.front().name, kMainWindowName);
    EXPECT_EQ(table.front().kind, ControlKind::Window);
    EXPECT_EQ(table.front().geometry, (Geometry{50, 50, 1026, 570}));
    EXPECT_EQ(table.front().caption, "Clipmill");

    std::map<std::string, const ControlDef*> seen;
    for (const auto& c : table) {
        EXPECT_TRUE(seen.emplace(c.name, &c).second) << "duplicate " << c.name;
        if (&c == &table.front()) continue;
        auto parent = seen.find(c.parent);
        ASSERT_NE(parent, seen.end()) << c.name << " comes before its parent " << c.parent;
        ControlKind pk = parent->second->kind;
        if (c.kind == ControlKind::TabPage)
            EXPECT_EQ(pk, ControlKind::TabControl) << c.name;
        else
            EXPECT_TRUE(pk == ControlKind::Window || pk == ControlKind::TabPage || pk == ControlKind::GroupBox)
                << c.name << " sits in " << c.parent;
        EXPECT_EQ(findControl(c.name), &c);
    }
    EXPECT_EQ(findControl("没有这个控件"), nullptr);
}

TEST(ControlTable, TabControlsListTheirPagesInOrder) {
    std::map<std::string, std::vector<std::string>> pages;
    for (const auto* page : controlsOfKind(ControlKind::TabPage)) {
        pages[page->parent].push_back(page->name);
        EXPECT_EQ(page->caption, page->name);
    }
    EXPECT_EQ(findControl("选择夹1")->items,
              (std::vector<std::string>{"主界面", "设置", "浏览器", "换ip", "标题库", "发布记录"}));
    EXPECT_EQ(findControl("选择夹2")->items, (std::vector<std::string>{"原创标签和分类", "标题设置", "封面图选项",
                                                                       "标签选项", "简介选项", "上传视频设置"}));
    EXPECT_EQ(findControl("选择夹2")->parent, "主界面");
    for (const auto* tabs : controlsOfKind(ControlKind::TabControl)) {
        EXPECT_EQ(pages[tabs->name], tabs->items) << tabs->name;
        int strip = 0;
        for (const auto& caption : tabs->items) strip += textWidth(caption) + 16;
        EXPECT_LE(strip, tabs->geometry.width) << tabs->name << " cannot show all its tabs";
    }
}

TEST(ControlTable, EachPageOrGroupHoldsOneRadioGroupWithOneDefault) {
    std::map<std::string, std::set<std::string>> groupsByParent;
    std::map<std::string, std::set<std::string>> parentsByGroup;
    std::map<std::string, int> defaults;
    for (const auto* radio : controlsOfKind(ControlKind::RadioButton)) {
        ASSERT_FALSE(radio->radioGroup.empty()) << radio->name;
        groupsByParent[radio->parent].insert(radio->radioGroup);
        parentsByGroup[radio->radioGroup].insert(radio->parent);
        defaults[radio->radioGroup] += radio->defaultChecked;
    }
    EXPECT_EQ(defaults.size(), 6u);
    for (const auto& [group, count] : defaults) EXPECT_EQ(count, 1) << group;
    for (const auto& [parent, groups] : groupsByParent) EXPECT_EQ(groups.size(), 1u) << parent;
    for (const auto& [group, parents] : parentsByGroup) EXPECT_EQ(parents.size(), 1u) << group;
    for (const auto& c : controlTable())
        if (c.kind != ControlKind::RadioButton) EXPECT_TRUE(c.radioGroup.empty()) << c.name;
}

TEST(ControlTable, OnlyTheThreeFixedControlsAreDisabled) {
    std::set<std::string> disabled;
    for (const auto& c : controlTable())
        if (!c.enabled) disabled.insert(c.name);
    EXPECT_EQ(disabled, (std::set<std::string>{"编辑框_账号标识", "选择框_单独设置", "单选框ai标签"}));
}

TEST(ControlTable, ChildrenLieInsideTheirParentClearOfCaptionsAndOfEachOther) {
    const auto& table = controlTable();
    for (const auto& c : table) {
        if (&c == &table.front()) continue;
        const ControlDef& parent = *findControl(c.parent);
        const Geometry& g = c.geometry;
        EXPECT_TRUE(g.x >= 0 && g.y >= 0 && g.x + g.width <= parent.geometry.width &&
                    g.y + g.height <= parent.geometry.height)
            << c.name << " leaves " << parent.name;
        if (parent.kind == ControlKind::TabPage) EXPECT_GE(g.y, kTabStrip) << c.name << " under the tab strip";
        if (parent.kind == ControlKind::GroupBox) EXPECT_GE(g.y, kGroupBand) << c.name << " on the group caption";
    }
    for (size_t i = 0; i < table.size(); ++i)
        for (size_t j = i + 1; j < table.size(); ++j) {
            const auto &a = table[i], &b = table[j];
            if (a.parent != b.parent || a.kind == ControlKind::TabPage) continue;  // pages take turns
            if (b.gapOf == a.name || a.gapOf == b.name) continue;
            EXPECT_FALSE(overlap(a.geometry, b.geometry)) << a.name << " overlaps " << b.name;
        }
}

TEST(ControlTable, CaptionsFitTheirBoxes) {
    for (const auto& c : controlTable()) {
        const Geometry& g = c.geometry;
        switch (c.kind) {
            case ControlKind::Button:
                EXPECT_LE(textWidth(c.caption) + 16, g.width) << c.name;
                EXPECT_GE(g.height, 24) << c.name;
                break;
            case ControlKind::GroupBox:
                EXPECT_LE(textWidth(c.caption) + 16, g.width) << c.name;
                break;
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
            case ControlKind::Label: {
                int lines = wrappedLines(c.caption, g.width - indentOf(c) - trailOf(c));
                if (c.multiLine)
                    EXPECT_LE(lines * kLineHeight, g.height) << c.name << " needs " << lines << " lines";
                else
                    EXPECT_LE(indentOf(c) + textWidth(c.caption) + trailOf(c), g.width) << c.name << " is cut off";
                EXPECT_GE(g.height, 20) << c.name;
                break;
            }
            default:
                break;
        }
    }
}

// A field over a run of spaces leaves the words before the run readable on its left and
// those after it on its right, all inside the owner's box, at the owner's height.
TEST(ControlTable, NumberFieldsSitInTheGapsOfTheirCaptions) {
    std::set<std::string> owners;
    for (const auto& c : controlTable())
        if (!c.gapOf.empty()) owners.insert(c.gapOf);
    EXPECT_EQ(owners.size(), 9u);
    for (const auto& name : owners) {
        const ControlDef* owner = findControl(name);
        ASSERT_NE(owner, nullptr) << name;
        auto fields = gapFieldsOf(name);
        auto pieces = captionPieces(owner->caption);
        ASSERT_EQ(pieces.size(), fields.size() + 1) << name << " has a run of spaces without a field";
        const Geometry& o = owner->geometry;
        int cursor = o.x + indentOf(*owner);
        for (size_t k = 0; k < fields.size(); ++k) {
            const Geometry& f = fields[k]->geometry;
            EXPECT_EQ(fields[k]->parent, owner->parent) << fields[k]->name;
            EXPECT_LE(cursor + textWidth(pieces[k]) + 2, f.x) << fields[k]->name << " covers \"" << pieces[k] << "\"";
            EXPECT_LE(std::abs((f.y + f.height / 2) - (o.y + o.height / 2)), 2) << fields[k]->name;
            cursor = f.x + f.width + 4;
        }
        EXPECT_LE(cursor + textWidth(pieces.back()) + trailOf(*owner), o.x + o.width) << name << " cuts off \"" << pieces.back() << "\"";
    }
}

TEST(ControlTable, NumberFieldsAreTheGapFieldsAndStartInRange) {
    for (const auto* field : controlsOfKind(ControlKind::TextField)) {
        EXPECT_EQ(field->number, !field->gapOf.empty()) << field->name;
        if (!field->number) continue;
        int value = parseWholeNumber(field->defaultText);
        EXPECT_EQ(std::to_string(value), field->defaultText) << field->name;
        if (field->spinMin < field->spinMax) {
            EXPECT_GE(value, field->spinMin) << field->name;
            EXPECT_LE(value, field->spinMax) << field->name;
        }
    }
    EXPECT_EQ(findControl("编辑框_封面图序列")->spinMax, 3);
    EXPECT_EQ(findControl("放弃秒")->spinMax, 1000);
}

TEST(ControlTable, ListStatusBarAndTimer) {
    const ControlDef* list = findControl("超级列表框1");
    EXPECT_EQ(list->items, testing::kAccountListHeaders);
    EXPECT_EQ(list->widths, testing::kAccountListWidths);
    EXPECT_EQ(list->geometry, (Geometry{4, 16, 394, 312}));

    const ControlDef* status = findControl("状态条1");
    EXPECT_EQ(status->widths, (std::vector<int>{260, 350, 200}));
    WindowState state(controlTable());
    state.setStatusPart("状态条1", 3, "8.8");
    EXPECT_EQ(state.statusPart("状态条1", 3), "8.8");  // four parts: the last takes the rest

    EXPECT_EQ(findControl("时钟1")->intervalMs, 1000);
}

TEST(ControlTable, DefaultsOtherCodeReliesOn) {
    WindowState state(controlTable());
    const std::pair<const char*, const char*> texts[] = {
        {"编辑框_单账号上传", "3"},
        {"放弃秒", "300"},
        {"编辑框_禁止指定时间", "1点2点13点14点"},
        {"编辑框_标题库", "D:\\e\\123.txt\r\nD:\\e\\124443.txt\r\n这里标题1\r\n这是标题2"},
        {"编辑框_google", "/usr/bin/chromium"},
        {"编辑框_账号标识", "100"},
        {"编辑框_固定标签", "原创+视频"},
        {"编辑框_账号序列", "1"},
        {"编辑框_视频间隔", "2"},
        {"编辑框_视频间隔1", "10"},
        {"编辑框_循环间隔", "80"},
        {"编辑框_账号间隔", "80"},
        {"编辑框_封面图序列", "2"},
        {"编辑框_系统标签个数", "8"},
        {"编辑框_混合标签个数", "10"},
        {"宽带_名称", "宽带连接"},
        {"编辑框_随机封面目录", ""},
        {"编辑框_视频素材目录", ""},
    };
    for (const auto& [name, text] : texts) EXPECT_EQ(state.text(name), text) << name;

    std::set<std::string> checked;
    for (const auto* box : controlsOfKind(ControlKind::CheckBox))
        if (state.checked(box->name)) checked.insert(box->name);
    EXPECT_EQ(checked, (std::set<std::string>{"选择框_切换账号", "选择框_填写简介", "选择框_读取子文件夹",
                                              "选择框_自动循环", "选择框_自动放弃"}));

    EXPECT_EQ(state.index("组合框1"), -1);
    EXPECT_EQ(state.caption("标签3"),
              "默认不需要配置浏览器路径，自动读取，如果自动读取失败，会使用自定义配置的路径。\r\n\r\n"
              "如果你已经安装了浏览器，但是还是提示安装，就需要在这里配置。");
    EXPECT_TRUE(findControl("编辑框_视频素材目录")->redText);
}

TEST(CaptionPieces, CutsAtRunsOfTwoOrMoreSpaces) {
    struct Case {
        const char* caption;
        std::vector<std::string> pieces;
    } cases[] = {
        {"上传   个视频", {"上传", "个视频"}},
        {"在标题前和标题后 附加如下信息", {"在标题前和标题后 附加如下信息"}},
        {"间隔  秒至  秒随机", {"间隔", "秒至", "秒随机"}},
        {"账号间隔  ", {"账号间隔", ""}},
        {"", {""}},
    };
    for (const auto& c : cases) EXPECT_EQ(captionPieces(c.caption), c.pieces) << c.caption;
}

}  // namespace
}  // namespace clipmill
