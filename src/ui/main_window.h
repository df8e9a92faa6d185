#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "app/global_hotkey.h"
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

    // Claims Ctrl+Alt+K for the whole desktop: Start/Stop from anywhere.
    void claimHotKey();
    // How the program ends at once ("关闭软件", closing the window, restart); tests replace it.
    void setTerminate(std::function<void(int exitCode)> terminate) { terminate_ = std::move(terminate); }

protected:
    void closeEvent(QCloseEvent* event) override;

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
    void wireProgramButtons();
    void closeProgram();
    void restartProgram();
    void saveFromButton();

    Program& program_;
    BuiltControls controls_;
    std::unique_ptr<WindowStateBinder> binder_;
    std::unique_ptr<GlobalHotKey> hotKey_;
    std::function<void(int)> terminate_;
};

}  // namespace clipmill::ui
