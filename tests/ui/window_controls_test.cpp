#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <map>

#include "fixtures/account_list_texts.h"
#include "settings/control_table.h"
#include "ui/spin_field.h"
#include "ui/widget_values.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

using ControlsTest = WindowTest;

std::string shownCaptionOf(const QWidget* widget) { return fromQt(shownCaption(widget)); }

// A caption with number fields in its gaps is shown in pieces around the fields.
void expectCaption(const MainWindow& window, const ControlDef& def) {
    const QWidget* widget = window.findChild<QWidget*>(toQt(def.name));
    auto fields = gapFieldsOf(def.name);
    if (fields.empty()) {
        EXPECT_EQ(shownCaptionOf(widget), def.caption) << def.name;
        return;
    }
    auto pieces = captionPieces(def.caption);
    ASSERT_EQ(pieces.size(), fields.size() + 1) << def.name;
    EXPECT_EQ(shownCaptionOf(widget), pieces[0]) << def.name;
    for (size_t i = 1; i < pieces.size(); ++i) {
        auto* tail = window.findChild<QLabel*>(toQt(def.name) + QStringLiteral("#%1").arg(i));
        ASSERT_NE(tail, nullptr) << def.name << " piece " << i;
        EXPECT_EQ(fromQt(tail->text()), pieces[i]) << def.name;
        // The words after a field start right of it, the words before end left of it.
        const QRect field = window.findChild<QWidget*>(toQt(fields[i - 1]->name))->geometry();
        EXPECT_GT(tail->geometry().left(), field.right()) << def.name;
        if (i == 1) EXPECT_LT(widget->geometry().right(), field.left()) << def.name;
    }
}

void expectTextField(const QWidget* widget, const ControlDef& def) {
    EXPECT_EQ(fromQt(fieldText(widget)), def.defaultText) << def.name;
    if (def.spinMin < def.spinMax) EXPECT_NE(qobject_cast<const SpinField*>(widget), nullptr) << def.name;
    else if (def.multiLine) EXPECT_NE(qobject_cast<const QPlainTextEdit*>(widget), nullptr) << def.name;
    else EXPECT_NE(qobject_cast<const QLineEdit*>(widget), nullptr) << def.name;
    if (auto* editor = qobject_cast<const QPlainTextEdit*>(widget))
        EXPECT_EQ(editor->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, def.verticalScrollBar) << def.name;
    if (auto* line = qobject_cast<const QLineEdit*>(widget))
        EXPECT_EQ(line->alignment().testFlag(Qt::AlignHCenter), def.centred) << def.name;
    EXPECT_EQ(widget->palette().color(QPalette::Text) == QColor(Qt::red), def.redText) << def.name;
}

TEST_F(ControlsTest, EveryControlOfTheTableIsBuiltWithItsNameCaptionDefaultAndState) {
    for (ControlDef def : controlTable()) {
        SCOPED_TRACE(def.name);
        // Two controls are filled in as the window is created: the cover folder and the
        // label that shows the program folder.
        if (def.name == "编辑框_随机封面目录") def.defaultText = dir.str() + "/img";
        if (def.name == "标签15") def.caption = dir.str() + "/";
        if (def.kind == ControlKind::Timer) {
            auto* timer = window->findChild<QTimer*>(toQt(def.name));
            ASSERT_NE(timer, nullptr);
            EXPECT_EQ(timer->interval(), def.intervalMs);
            continue;
        }
        QWidget* w = def.kind == ControlKind::Window ? window.get() : widget(def.name);
        ASSERT_NE(w, nullptr) << "no widget named " << def.name;
        EXPECT_EQ(fromQt(w->objectName()), def.name);
        EXPECT_EQ(w->isEnabled(), def.enabled);
        switch (def.kind) {
            case ControlKind::TextField: expectTextField(w, def); break;
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
                EXPECT_EQ(qobject_cast<QAbstractButton*>(w)->isChecked(), def.defaultChecked);
                expectCaption(*window, def);
                break;
            case ControlKind::Button:
            case ControlKind::Label:
            case ControlKind::GroupBox: expectCaption(*window, def); break;
            case ControlKind::TabControl: {
                auto* tabs = qobject_cast<QTabWidget*>(w);
                ASSERT_EQ(tabs->count(), static_cast<int>(def.items.size()));
                for (int i = 0; i < tabs->count(); ++i) {
                    EXPECT_EQ(fromQt(tabs->tabText(i)), def.items[i]);
                    EXPECT_EQ(fromQt(tabs->widget(i)->objectName()), def.items[i]);
                }
                break;
            }
            default: break;
        }
    }
    EXPECT_EQ(fromQt(window->windowTitle()), "Clipmillv8.8          按键盘 Ctrl + Alt + K  可以快速开始或停止");
    EXPECT_EQ(window->size(), QSize(1026, 570));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
}

TEST_F(ControlsTest, AccountListHasItsColumnsAndMenuAndTheStatusBarItsParts) {
    auto* list = widget<QTreeWidget>("超级列表框1");
    ASSERT_NE(list, nullptr);
    std::vector<std::string> headers;
    std::vector<int> widths;
    for (int i = 0; i < list->columnCount(); ++i) {
        headers.push_back(fromQt(list->headerItem()->text(i)));
        widths.push_back(list->columnWidth(i));
    }
    EXPECT_EQ(headers, clipmill::testing::kAccountListHeaders);
    EXPECT_EQ(widths, clipmill::testing::kAccountListWidths);
    auto* menu = list->findChild<QMenu*>(QStringLiteral("账号管理"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("账号管理"));
    QStringList items;
    for (QAction* action : menu->actions()) items << action->text();
    EXPECT_EQ(items, (QStringList{"添加账号", "删除此账号", "清空账号列表", "配置登陆此账号", "此项移动到最底部",
                                  "使用cookies登陆此账号"}));

    auto* bar = widget<QStatusBar>("状态条1");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(window->statusBar(), bar);
    const auto parts = bar->findChildren<QLabel*>();
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[0]->width(), 260);
    EXPECT_EQ(parts[1]->width(), 350);
    EXPECT_EQ(parts[2]->width(), 200);
    EXPECT_GT(parts[3]->width(), 100);
}

TEST_F(ControlsTest, ExactlyOneRadioButtonOfEachGroupIsCheckedAtStart) {
    std::map<std::string, std::vector<std::string>> checkedByGroup;
    for (const auto* def : controlsOfKind(ControlKind::RadioButton)) {
        auto* radio = widget<QRadioButton>(def->name);
        ASSERT_NE(radio, nullptr);
        auto& checked = checkedByGroup[def->radioGroup];
        if (radio->isChecked()) checked.push_back(def->name);
    }
    ASSERT_EQ(checkedByGroup.size(), 6u);
    for (const auto& [group, checked] : checkedByGroup) EXPECT_EQ(checked.size(), 1u) << group;
    EXPECT_EQ(checkedByGroup["tags"], std::vector<std::string>{"单选框_混合标签"});
}

void expectTailsInside(const MainWindow& window, const std::string& owner, const QWidget* parent) {
    for (int i = 1;; ++i) {
        auto* tail = window.findChild<QLabel*>(toQt(owner) + QStringLiteral("#%1").arg(i));
        if (!tail) break;
        EXPECT_TRUE(parent->rect().contains(tail->geometry())) << owner << " piece " << i << " sticks out";
        EXPECT_LE(tail->sizeHint().width(), tail->width()) << owner << " piece " << i << " cut off";
    }
}

// Each page is shown in turn: its controls sit where the table puts them, measured from
// the tab control's corner, and inside their parent, and no caption is wider than its box.
TEST_F(ControlsTest, ControlsSitAtTheirTablePlacesAndTheirCaptionsFit) {
    auto* outer = widget<QTabWidget>("选择夹1");
    auto* inner = widget<QTabWidget>("选择夹2");
    for (int o = 0; o < outer->count(); ++o) {
        outer->setCurrentIndex(o);
        for (int i = 0; i < (o == 0 ? inner->count() : 1); ++i) {
            inner->setCurrentIndex(i);
            QCoreApplication::processEvents();
            for (const auto& def : controlTable()) {
                const ControlDef* parent = findControl(def.parent);
                QWidget* w = widget(def.name);
                if (!parent || !w || !w->isVisible()) continue;
                if (!gapFieldsOf(def.name).empty()) {
                    expectTailsInside(*window, def.name, w->parentWidget());
                    continue;
                }
                SCOPED_TRACE(def.name);
                // The table measures a page's children from its tab control, whose frame they
                // may touch; children of a group stay inside the group.
                QWidget* frame = parent->kind == ControlKind::TabPage ? widget(parent->parent) : w->parentWidget();
                if (parent->kind != ControlKind::Window)
                    EXPECT_EQ(w->mapTo(frame, QPoint(0, 0)), QPoint(def.geometry.x, def.geometry.y));
                EXPECT_TRUE(frame->rect().contains(QRect(w->mapTo(frame, QPoint(0, 0)), w->size())))
                    << "sticks out of its parent";
                auto* label = qobject_cast<QLabel*>(w);
                const bool wraps = (label && label->wordWrap()) || def.multiLine;
                if (def.kind == ControlKind::Label || def.kind == ControlKind::CheckBox ||
                    def.kind == ControlKind::RadioButton) {
                    if (wraps) EXPECT_LE(w->heightForWidth(w->width()), w->height()) << "wrapped caption cut off";
                    else EXPECT_LE(w->sizeHint().width(), w->width()) << "caption cut off";
                }
            }
        }
    }
}

}  // namespace
}  // namespace clipmill::ui::testing
