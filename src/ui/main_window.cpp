#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QMetaObject>
#include <chrono>
#include <cstdlib>

#include "accounts/account_store.h"
#include "app/relaunch.h"
#include "settings/persistence.h"
#include "settings/control_table.h"
#include "ui/qt_text.h"
#include "ui/window_builder.h"

namespace clipmill::ui {

MainWindow::MainWindow(Program& program, QWidget* parent) : QMainWindow(parent), program_(program) {
    controls_ = WindowBuilder(*this).build(controlTable());
    binder_ = std::make_unique<WindowStateBinder>(controls_, program_.window(), program_.accounts());
    terminate_ = [](int exitCode) { std::_Exit(exitCode); };
    wireButtons();
    wireProgramButtons();
    wireAccountMenu();
    connect(controls_.startupTimer, &QTimer::timeout, this, &MainWindow::startUp);
    controls_.startupTimer->start();
}

// The binder goes first: no change may reach widgets that are being destroyed.
MainWindow::~MainWindow() { binder_.reset(); }

void MainWindow::onButton(const std::string& name, std::function<void()> action) {
    if (auto* button = controls_.get<QAbstractButton>(name))
        connect(button, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void MainWindow::onMenuItem(const char* item, std::function<void()> action) {
    if (auto* act = controls_.accountMenu->findChild<QAction*>(toQt(item)))
        connect(act, &QAction::triggered, this, [action = std::move(action)] { action(); });
}

void MainWindow::wireButtons() {
    AccountStore& store = program_.store();
    onButton("开始", [this] { program_.run().toggleRun(); });
    onButton("按钮_读取所有账号", [&store] { store.loadAccountList(); });
    onButton("按钮_修改账号信息", [&store] { store.modifyAccount(); });
    onButton("按钮_删除本账号", [this] { deleteEditedAccount(); });
}

void MainWindow::wireAccountMenu() {
    QTreeWidget* list = controls_.accountList;
    connect(list, &QWidget::customContextMenuRequested, this, &MainWindow::showAccountMenu);
    connect(list, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!binder_->mirroring()) editSelectedAccount();
    });
    AccountStore& store = program_.store();
    onMenuItem("添加账号", [&store] { store.addAccount(); });
    onMenuItem("删除此账号", [this] { deleteSelectedAccount(); });
    onMenuItem("清空账号列表", [this] { clearAccountList(); });
}

void MainWindow::showAccountMenu(const QPoint& pos) {
    controls_.accountMenu->popup(controls_.accountList->viewport()->mapToGlobal(pos));
}

int MainWindow::selectedRow() const {
    const QList<QTreeWidgetItem*> selected = controls_.accountList->selectedItems();
    return selected.isEmpty() ? -1 : controls_.accountList->indexOfTopLevelItem(selected.front());
}

// A selected row becomes the account being edited: its id, and its material folder
// unless the row has none.
void MainWindow::editSelectedAccount() {
    const int row = selectedRow();
    if (row < 0) return;
    AccountTable& table = program_.accounts();
    table.setCurrentRow(row);
    program_.window().setText(AccountStore::kIdField, table.cell(row, kColumnId));
    const std::string folder = table.cell(row, kColumnFolder);
    if (!folder.empty()) program_.window().setText(AccountStore::kFolderField, folder);
}

void MainWindow::deleteSelectedAccount() {
    const int row = selectedRow();
    if (row < 0) return;
    program_.store().deleteAccountFile(program_.accounts().cell(row, kColumnId));
    program_.store().loadAccountList();
}

void MainWindow::deleteEditedAccount() {
    program_.store().deleteAccountFile(program_.window().text(AccountStore::kIdField));
    program_.accounts().removeRow(program_.accounts().currentRow());
}

void MainWindow::clearAccountList() {
    program_.accounts().clear();
    program_.store().deleteAllAccountFiles();
}

void MainWindow::startUp() { program_.loadListsInBackground(); }

void MainWindow::claimHotKey() {
    hotKey_ = std::make_unique<GlobalHotKey>([this] {
        QMetaObject::invokeMethod(this, [this] { program_.run().toggleRun(); }, Qt::QueuedConnection);
    });
}

void MainWindow::wireProgramButtons() {
    onButton("按钮_保存账号", [this] { saveFromButton(); });
    onButton("按钮26", [this] { closeProgram(); });
    onButton("按钮1", [this] { restartProgram(); });
}

void MainWindow::saveFromButton() {
    saveSettings(program_.window(), program_.programDir(), SaveMoment::SaveButton);
    program_.dialogs().information("保存成功");
}

// The program ends at once, as it always has: runs, waits and browsers are not wound down.
void MainWindow::closeProgram() {
    hide();
    hotKey_.reset();
    saveSettings(program_.window(), program_.programDir(), SaveMoment::CloseButton);
    terminate_(0);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    hotKey_.reset();
    saveSettings(program_.window(), program_.programDir(), SaveMoment::WindowDestroyed);
    event->accept();
    terminate_(0);
}

void MainWindow::restartProgram() {
    if (relaunchAfterDelay(currentProgramPath(), {}, std::chrono::seconds(2))) terminate_(0);
}

}  // namespace clipmill::ui
