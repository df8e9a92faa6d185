#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "app/program.h"
#include "ui/built_controls.h"
#include "ui/window_state_binder.h"

namespace clipmill::ui {

// The main window: built from the control table, mirroring the program's window state
// and account list, with its buttons and the account list's menu wired to the operations
// of the program.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Program& program, QWidget* parent = nullptr);
    ~MainWindow() override;

    const BuiltControls& controls() const { return controls_; }

private:
    void wireButtons();
    void wireAccountMenu();
    void onButton(const std::string& name, std::function<void()> action);
    void onMenuItem(const char* item, std::function<void()> action);
    void showAccountMenu(const QPoint& pos);
    int selectedRow() const;
    void editSelectedAccount();
    void deleteSelectedAccount();
    void deleteEditedAccount();
    void clearAccountList();
    void startUp();

    Program& program_;
    BuiltControls controls_;
    std::unique_ptr<WindowStateBinder> binder_;
};

}  // namespace clipmill::ui
