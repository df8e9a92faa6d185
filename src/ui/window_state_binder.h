#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "accounts/account_table.h"
#include "settings/window_state.h"
#include "ui/account_list_mirror.h"
#include "ui/built_controls.h"

namespace clipmill::ui {

// Mirrors the window state and the account table onto the widgets, and writes what the
// user edits back into the window state at once. Changes made on any thread are carried
// to the UI thread by a queued call; only the UI thread touches a widget. A widget is
// changed only when its value differs from the state's.
class WindowStateBinder : public QObject {
    Q_OBJECT
public:
    WindowStateBinder(BuiltControls& controls, WindowState& state, AccountTable& accounts,
                      QObject* parent = nullptr);
    ~WindowStateBinder() override;

    // True while the binder itself is changing widgets, so that handlers of the user's
    // actions can tell them from the mirror's changes.
    bool mirroring() const { return mirroring_ > 0; }

private:
    struct Mailbox;
    class MirrorScope;

    void showAll();
    void show(const std::string& control, ControlField field);
    void showChecked(const std::string& control, QWidget* widget);
    void showItems(const std::string& control, QWidget* widget);
    void showIndex(const std::string& control, QWidget* widget);
    void showStatusParts(const std::string& control);
    void showEnabledOrVisible(const std::string& control, QWidget* widget, ControlField field);
    void connectEdits(const std::string& control, QWidget* widget);
    void deliver();

    BuiltControls& controls_;
    WindowState& state_;
    AccountTable& accounts_;
    AccountListMirror list_;
    std::shared_ptr<Mailbox> mailbox_;
    int stateListener_ = 0;
    int tableListener_ = 0;
    int mirroring_ = 0;
};

}  // namespace clipmill::ui
