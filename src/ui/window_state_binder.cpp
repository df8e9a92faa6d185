#include "ui/window_state_binder.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "settings/control_table.h"
#include "ui/qt_text.h"
#include "ui/spin_field.h"
#include "ui/widget_values.h"
#include "ui/window_builder.h"

namespace clipmill::ui {

// What other threads leave for the UI thread. Listeners hold it by shared pointer, so a
// listener still running on another thread while the binder goes away finds no target
// instead of a dangling one. One queued call delivers everything collected until it runs.
struct WindowStateBinder::Mailbox {
    std::mutex mutex;
    WindowStateBinder* target = nullptr;
    std::vector<std::pair<std::string, ControlField>> changes;
    std::set<std::pair<std::string, ControlField>> pending;
    std::vector<AccountTable::Event> tableEvents;
    bool tableChanged = false;
    bool posted = false;

    void post() {  // mutex held
        if (posted || !target) return;
        posted = true;
        WindowStateBinder* receiver = target;
        QMetaObject::invokeMethod(receiver, [receiver] { receiver->deliver(); }, Qt::QueuedConnection);
    }
};

class WindowStateBinder::MirrorScope {
public:
    explicit MirrorScope(WindowStateBinder& binder) : binder_(binder) { ++binder_.mirroring_; }
    ~MirrorScope() { --binder_.mirroring_; }

private:
    WindowStateBinder& binder_;
};

WindowStateBinder::WindowStateBinder(BuiltControls& controls, WindowState& state, AccountTable& accounts,
                                     QObject* parent)
    : QObject(parent),
      controls_(controls),
      state_(state),
      accounts_(accounts),
      list_(*controls.accountList, accounts),
      mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->target = this;
    std::shared_ptr<Mailbox> mailbox = mailbox_;
    stateListener_ = state_.subscribe([mailbox](const std::string& control, ControlField field) {
        std::lock_guard lock(mailbox->mutex);
        if (mailbox->pending.emplace(control, field).second) mailbox->changes.emplace_back(control, field);
        mailbox->post();
    });
    tableListener_ = accounts_.subscribe([mailbox](const AccountTable::Event& event) {
        std::lock_guard lock(mailbox->mutex);
        if (event.change != AccountTable::Change::CellChanged) mailbox->tableEvents.push_back(event);
        mailbox->tableChanged = true;
        mailbox->post();
    });
    // Listening first: a change made while the widgets are filled is delivered afterwards.
    showAll();
    for (const auto& [name, widget] : controls_.widgets) connectEdits(name, widget);
}

WindowStateBinder::~WindowStateBinder() {
    state_.unsubscribe(stateListener_);
    accounts_.unsubscribe(tableListener_);
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->target = nullptr;
}

void WindowStateBinder::deliver() {
    std::vector<std::pair<std::string, ControlField>> changes;
    std::vector<AccountTable::Event> tableEvents;
    bool tableChanged;
    {
        std::lock_guard lock(mailbox_->mutex);
        changes.swap(mailbox_->changes);
        mailbox_->pending.clear();
        tableEvents.swap(mailbox_->tableEvents);
        tableChanged = std::exchange(mailbox_->tableChanged, false);
        mailbox_->posted = false;
    }
    MirrorScope scope(*this);
    if (tableChanged) {
        list_.replay(tableEvents);
        list_.copyCells();
    }
    for (const auto& [control, field] : changes) show(control, field);
}

void WindowStateBinder::showAll() {
    MirrorScope scope(*this);
    for (const auto& def : controlTable()) {
        if (!state_.has(def.name)) continue;
        for (ControlField field : {ControlField::Items, ControlField::Index, ControlField::Text, ControlField::Checked,
                                   ControlField::Caption, ControlField::Enabled, ControlField::Visible})
            show(def.name, field);
    }
    list_.copyCells();
}

void WindowStateBinder::show(const std::string& control, ControlField field) {
    const ControlDef* def = findControl(control);
    QWidget* widget = controls_.widget(control);
    if (!def || !widget) return;
    switch (field) {
        case ControlField::Text:
            if (def->kind == ControlKind::StatusBar) showStatusParts(control);
            else setFieldText(widget, toQt(state_.text(control)));
            break;
        case ControlField::Checked: showChecked(control, widget); break;
        case ControlField::Index: showIndex(control, widget); break;
        case ControlField::Items: showItems(control, widget); break;
        case ControlField::Caption:
            if (def->kind != ControlKind::TextField && def->kind != ControlKind::List)
                showCaption(controls_, *def, state_.caption(control));
            break;
        case ControlField::Enabled:
        case ControlField::Visible: showEnabledOrVisible(control, widget, field); break;
    }
}

void WindowStateBinder::showChecked(const std::string& control, QWidget* widget) {
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (!button || !button->isCheckable()) return;
    const bool checked = state_.checked(control);
    if (button->isChecked() == checked) return;
    // An exclusive group never unchecks its checked member; the state may have none checked.
    QButtonGroup* group = button->group();
    const bool exclusive = group && group->exclusive();
    if (exclusive && !checked) group->setExclusive(false);
    button->setChecked(checked);
    if (exclusive && !checked) group->setExclusive(true);
}

void WindowStateBinder::showItems(const std::string& control, QWidget* widget) {
    auto* combo = qobject_cast<QComboBox*>(widget);
    if (!combo) return;
    combo->clear();
    for (const auto& item : state_.items(control)) combo->addItem(toQt(item.text), item.value);
    showIndex(control, widget);
}

void WindowStateBinder::showIndex(const std::string& control, QWidget* widget) {
    auto* combo = qobject_cast<QComboBox*>(widget);
    const int index = state_.index(control);
    if (combo && combo->currentIndex() != index) combo->setCurrentIndex(index);
}

void WindowStateBinder::showStatusParts(const std::string& control) {
    for (size_t i = 0; i < controls_.statusParts.size(); ++i) {
        QString text = toQt(state_.statusPart(control, static_cast<int>(i)));
        if (controls_.statusParts[i]->text() != text) controls_.statusParts[i]->setText(text);
    }
}

void WindowStateBinder::showEnabledOrVisible(const std::string& control, QWidget* widget, ControlField field) {
    const ControlDef* def = findControl(control);
    if (def->kind == ControlKind::Window || def->kind == ControlKind::TabPage) return;
    std::vector<QWidget*> shown{widget};
    auto tails = controls_.captionTails.find(control);
    if (tails != controls_.captionTails.end()) shown.insert(shown.end(), tails->second.begin(), tails->second.end());
    for (QWidget* w : shown) {
        if (field == ControlField::Enabled) {
            if (w->isEnabled() != state_.enabled(control)) w->setEnabled(state_.enabled(control));
        } else if (!state_.visible(control)) {
            if (!w->isHidden()) w->hide();
        } else if (w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
            w->show();
        }
    }
}

void WindowStateBinder::connectEdits(const std::string& control, QWidget* widget) {
    auto guarded = [this, control](auto write) {
        return [this, control, write](auto&&... args) {
            if (!mirroring()) write(control, args...);
        };
    };
    WindowState& state = state_;
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        connect(line, &QLineEdit::textChanged, this,
                guarded([&state](const std::string& c, const QString& t) { state.setText(c, fromQt(t)); }));
    } else if (auto* spin = qobject_cast<SpinField*>(widget)) {
        connect(spin, &SpinField::textChanged, this,
                guarded([&state](const std::string& c, const QString& t) { state.setText(c, fromQt(t)); }));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        connect(plain, &QPlainTextEdit::textChanged, this, guarded([&state, plain](const std::string& c) {
                    state.setText(c, fromQt(withCrLf(plain->toPlainText())));
                }));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->isCheckable()) {
        // A radio button that loses its mark does not write: the one that gains it does, and
        // the state clears the rest of its group.
        const bool radio = button->autoExclusive() || button->group();
        connect(button, &QAbstractButton::toggled, this, guarded([&state, radio](const std::string& c, bool on) {
                    if (on || !radio) state.setChecked(c, on);
                }));
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo, &QComboBox::currentIndexChanged, this,
                guarded([&state](const std::string& c, int index) { state.setIndex(c, index); }));
    }
}

}  // namespace clipmill::ui
