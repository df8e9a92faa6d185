#include "ui/window_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>

#include "settings/control_table.h"
#include "ui/qt_text.h"
#include "ui/spin_field.h"
#include "ui/widget_values.h"
#include "ui/wrapping_check_box.h"

namespace clipmill::ui {

namespace {

const char* const kAccountMenuTitle = "账号管理";
const char* const kAccountMenuItems[] = {"添加账号",         "删除此账号",       "清空账号列表",
                                         "配置登陆此账号", "此项移动到最底部", "使用cookies登陆此账号"};
const char* const kTableGeometry = "clipmillTableGeometry";
constexpr int kTailGap = 4;  // between a number field and the words after it

QRect toRect(const Geometry& g) { return {g.x, g.y, g.width, g.height}; }

// The table measures a page's children from its tab control's top-left corner, tab strip
// included; Qt places them inside the page. Each time a page moves within its tab control
// (it only gets its real place once it is first shown), its children are shifted by the
// page's offset.
class PageChildPlacer : public QObject {
public:
    using QObject::QObject;

    static void place(QWidget* page) {
        QWidget* tabs = page->parentWidget() ? page->parentWidget()->parentWidget() : nullptr;
        QPoint offset = tabs ? page->mapTo(tabs, QPoint(0, 0)) : QPoint(0, 0);
        for (QObject* object : page->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (!child || !child->property(kTableGeometry).isValid()) continue;
            QRect rect = child->property(kTableGeometry).toRect();
            child->setGeometry(rect.translated(-offset));
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Show || event->type() == QEvent::ParentChange)
            place(static_cast<QWidget*>(watched));
        return false;
    }
};

// The words after a number field: a press on them acts like a press on their owner.
class CaptionTail : public QLabel {
public:
    CaptionTail(QAbstractButton* owner, QWidget* parent) : QLabel(parent), owner_(owner) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (owner_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            owner_->click();
        QLabel::mouseReleaseEvent(event);
    }

private:
    QAbstractButton* owner_;
};

bool isPage(const QWidget* widget) { return widget && widget->property("clipmillPage").toBool(); }

void setTableGeometry(QWidget* widget, const QRect& rect) {
    QWidget* parent = widget->parentWidget();
    if (isPage(parent)) {
        widget->setProperty(kTableGeometry, rect);
        PageChildPlacer::place(parent);
    } else {
        widget->setGeometry(rect);
    }
}

}  // namespace

BuiltControls WindowBuilder::build(const std::vector<ControlDef>& table) {
    built_ = BuiltControls{};
    for (const auto& def : table) addControl(def);
    return built_;
}

void WindowBuilder::addControl(const ControlDef& def) {
    switch (def.kind) {
        case ControlKind::Window: return addWindow(def);
        case ControlKind::TabControl: return addTabControl(def);
        case ControlKind::TabPage: return addTabPage(def);
        case ControlKind::GroupBox: return addGroupBox(def);
        case ControlKind::TextField: return addTextField(def);
        case ControlKind::CheckBox: return addCheckBox(def);
        case ControlKind::RadioButton: return addRadioButton(def);
        case ControlKind::DropDown: return addDropDown(def);
        case ControlKind::Button: return addButton(def);
        case ControlKind::Label: return addLabel(def);
        case ControlKind::List: return addList(def);
        case ControlKind::StatusBar: return addStatusBar(def);
        case ControlKind::Timer: return addTimer(def);
    }
}

QWidget* WindowBuilder::parentOf(const ControlDef& def) const {
    if (def.parent == kMainWindowName) return window_.centralWidget();
    return built_.widget(def.parent);
}

void WindowBuilder::adopt(QWidget* widget, const ControlDef& def) {
    widget->setObjectName(toQt(def.name));
    widget->setParent(parentOf(def));
    setTableGeometry(widget, toRect(def.geometry));
    widget->setEnabled(def.enabled);
    built_.widgets[def.name] = widget;
}

void WindowBuilder::addWindow(const ControlDef& def) {
    window_.setObjectName(toQt(def.name));
    auto* client = new QWidget(&window_);
    client->setObjectName(QStringLiteral("客户区"));
    window_.setCentralWidget(client);
    window_.move(def.geometry.x, def.geometry.y);
    window_.setFixedSize(def.geometry.width, def.geometry.height);
    built_.widgets[def.name] = &window_;
}

void WindowBuilder::addTabControl(const ControlDef& def) {
    auto* tabs = new QTabWidget;
    tabs->setUsesScrollButtons(false);
    adopt(tabs, def);
}

void WindowBuilder::addTabPage(const ControlDef& def) {
    auto* tabs = qobject_cast<QTabWidget*>(built_.widget(def.parent));
    auto* page = new QWidget;
    page->setObjectName(toQt(def.name));
    page->setProperty("clipmillPage", true);
    page->installEventFilter(new PageChildPlacer(page));
    tabs->addTab(page, toQt(def.caption));
    built_.widgets[def.name] = page;
}

void WindowBuilder::addGroupBox(const ControlDef& def) { adopt(new QGroupBox, def); }

void WindowBuilder::addTextField(const ControlDef& def) {
    QWidget* field = nullptr;
    if (def.spinMin < def.spinMax) {
        auto* spin = new SpinField(def.spinMin, def.spinMax);
        if (def.centred) spin->setAlignment(Qt::AlignCenter);
        field = spin;
    } else if (def.multiLine) {
        auto* editor = new QPlainTextEdit;
        editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        editor->setVerticalScrollBarPolicy(def.verticalScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        editor->setTabChangesFocus(true);
        field = editor;
    } else {
        auto* line = new QLineEdit;
        if (def.centred) line->setAlignment(Qt::AlignCenter);
        field = line;
    }
    if (def.redText) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Text, Qt::red);
        field->setPalette(palette);
    }
    adopt(field, def);
}

void WindowBuilder::addCheckBox(const ControlDef& def) {
    adopt(def.multiLine ? new WrappingCheckBox(QString()) : new QCheckBox, def);
    addCaptionTails(def);
}

void WindowBuilder::addRadioButton(const ControlDef& def) {
    auto* radio = new QRadioButton;
    adopt(radio, def);
    if (!def.radioGroup.empty()) {
        QButtonGroup*& group = built_.radioGroups[def.radioGroup];
        if (!group) {
            group = new QButtonGroup(&window_);
            group->setObjectName(toQt(def.radioGroup));
            group->setExclusive(true);
        }
        group->addButton(radio);
    }
    addCaptionTails(def);
}

void WindowBuilder::addDropDown(const ControlDef& def) { adopt(new QComboBox, def); }

void WindowBuilder::addButton(const ControlDef& def) {
    auto* button = new QPushButton;
    button->setAutoDefault(false);
    adopt(button, def);
}

void WindowBuilder::addLabel(const ControlDef& def) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(def.multiLine);
    label->setAlignment(def.multiLine ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignLeft | Qt::AlignVCenter);
    adopt(label, def);
    addCaptionTails(def);
}

void WindowBuilder::addList(const ControlDef& def) {
    auto* list = new QTreeWidget;
    list->setColumnCount(static_cast<int>(def.items.size()));
    QStringList headers;
    for (const auto& header : def.items) headers << toQt(header);
    list->setHeaderLabels(headers);
    list->header()->setStretchLastSection(false);
    for (size_t i = 0; i < def.widths.size(); ++i) list->setColumnWidth(static_cast<int>(i), def.widths[i]);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    adopt(list, def);
    built_.accountList = list;

    auto* menu = new QMenu(toQt(kAccountMenuTitle), list);
    menu->setObjectName(toQt(kAccountMenuTitle));
    for (const char* item : kAccountMenuItems) menu->addAction(toQt(item))->setObjectName(toQt(item));
    built_.accountMenu = menu;
}

void WindowBuilder::addStatusBar(const ControlDef& def) {
    auto* bar = new QStatusBar;
    bar->setObjectName(toQt(def.name));
    bar->setSizeGripEnabled(false);
    window_.setStatusBar(bar);
    for (size_t i = 0; i <= def.widths.size(); ++i) {
        auto* part = new QLabel;
        part->setObjectName(toQt(def.name) + QStringLiteral("#%1").arg(i));
        part->setTextFormat(Qt::PlainText);
        part->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        const bool last = i == def.widths.size();
        if (!last) part->setFixedWidth(def.widths[i]);
        bar->addWidget(part, last ? 1 : 0);
        built_.statusParts.push_back(part);
    }
    built_.widgets[def.name] = bar;
}

void WindowBuilder::addTimer(const ControlDef& def) {
    auto* timer = new QTimer(&window_);
    timer->setObjectName(toQt(def.name));
    timer->setInterval(def.intervalMs);
    timer->setSingleShot(true);
    built_.startupTimer = timer;
}

void WindowBuilder::addCaptionTails(const ControlDef& owner) {
    std::vector<const ControlDef*> fields = gapFieldsOf(owner.name);
    if (fields.empty()) return;
    QWidget* ownerWidget = built_.widget(owner.name);
    QRect ownerRect = toRect(owner.geometry);
    QRect head = ownerRect;
    head.setRight(fields.front()->geometry.x - 1);
    setTableGeometry(ownerWidget, head);

    auto& tails = built_.captionTails[owner.name];
    for (size_t i = 0; i < fields.size(); ++i) {
        const Geometry& field = fields[i]->geometry;
        int left = field.x + field.width + kTailGap;
        int right = i + 1 < fields.size() ? fields[i + 1]->geometry.x - 1 : ownerRect.right();
        auto* tail = new CaptionTail(qobject_cast<QAbstractButton*>(ownerWidget), ownerWidget->parentWidget());
        tail->setObjectName(toQt(owner.name) + QStringLiteral("#%1").arg(i + 1));
        tail->setTextFormat(Qt::PlainText);
        tail->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        tail->setEnabled(owner.enabled);
        setTableGeometry(tail, QRect(QPoint(left, ownerRect.top()), QPoint(right, ownerRect.bottom())));
        tails.push_back(tail);
    }
}

void showCaption(BuiltControls& controls, const ControlDef& def, const std::string& caption) {
    QWidget* widget = controls.widget(def.name);
    if (!widget) return;
    if (def.kind == ControlKind::Window) {
        if (widget->windowTitle() != toQt(caption)) widget->setWindowTitle(toQt(caption));
        return;
    }
    if (def.kind == ControlKind::TabPage) {
        auto* stack = widget->parentWidget();
        auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
        if (tabs) tabs->setTabText(tabs->indexOf(widget), toQt(caption));
        return;
    }
    auto tails = controls.captionTails.find(def.name);
    if (tails == controls.captionTails.end()) {
        setShownCaption(widget, toQt(caption));
        return;
    }
    std::vector<std::string> pieces = captionPieces(caption);
    setShownCaption(widget, toQt(pieces.front()));
    for (size_t i = 0; i < tails->second.size(); ++i) {
        QLabel* tail = tails->second[i];
        tail->setText(i + 1 < pieces.size() ? toQt(pieces[i + 1]) : QString());
    }
    // The last words may run on past the owner's rectangle rather than be cut off.
    QLabel* last = tails->second.back();
    if (last->sizeHint().width() > last->width()) {
        QRect rect = last->property(kTableGeometry).isValid() ? last->property(kTableGeometry).toRect() : last->geometry();
        rect.setWidth(last->sizeHint().width());
        setTableGeometry(last, rect);
    }
}

}  // namespace clipmill::ui
