#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "accounts/list_operations.h"
#include "app/program.h"
#include "platform/global_hotkey.h"
#include "ui/built_controls.h"
#include "ui/folder_picker.h"
#include "ui/journal_page.h"
#include "ui/state_lines.h"
#include "ui/task_threads.h"
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

    // The folder browser of the two "浏览" buttons; tests script it.
    FolderPicker& folderPicker() { return folderPicker_; }
    // Waits until the work the window started on threads of its own has ended.
    void waitForTasks() { tasks_->joinAll(); }

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
    void onLeftPress(const std::string& name, std::function<void()> action);
    void showAccountMenu(const QPoint& pos);
    void wireAccountFields();
    void wireBrowserButtons();
    int selectedRow() const;
    void logInSelectedAccount(bool withCookies);
    void pickFolderInto(const std::string& field);
    void refreshCategoriesInBackground();
    void startUp();
    void addJournalPage();
    void wireProgramButtons();
    void closeProgram();
    void restartProgram();
    void saveFromButton();
    void toggleRun();

    Program& program_;
    BuiltControls controls_;
    std::unique_ptr<WindowStateBinder> binder_;
    std::unique_ptr<AccountListOperations> listOperations_;
    FolderPicker folderPicker_;
    std::unique_ptr<TaskThreads> tasks_;
    std::unique_ptr<GlobalHotKey> hotKey_;
    std::function<void(int)> terminate_;
    StateLines* stateLines_ = nullptr;
};

}  // namespace clipmill::ui
