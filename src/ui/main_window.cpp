#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QMetaObject>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <cstdlib>

#include "accounts/account_store.h"
#include "browser/cookie_login.h"
#include "catalogue/category_lists.h"
#include "catalogue/category_refresh.h"
#include "settings/control_table.h"
#include "settings/persistence.h"
#include "ui/qt_text.h"
#include "ui/window_builder.h"

namespace clipmill::ui {

namespace {

constexpr const char* kFolderPrompt = "请选择一个文件夹";

// Acts when the left mouse button goes down on the widget it watches.
class LeftPressFilter : public QObject {
public:
    LeftPressFilter(std::function<void()> action, QObject* parent) : QObject(parent), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            action_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

}  // namespace

MainWindow::MainWindow(Program& program, QWidget* parent)
    : QMainWindow(parent), program_(program), folderPicker_(this), tasks_(std::make_unique<TaskThreads>()) {
    controls_ = WindowBuilder(*this).build(controlTable());
    binder_ = std::make_unique<WindowStateBinder>(controls_, program_.window(), program_.accounts());
    listOperations_ = std::make_unique<AccountListOperations>(program_.window(), program_.accounts(),
                                                              program_.store(), program_.programDir());
    terminate_ = [](int exitCode) { std::_Exit(exitCode); };
    stateLines_ = new StateLines(program_, this);
    wireButtons();
    wireProgramButtons();
    wireAccountMenu();
    wireAccountFields();
    wireBrowserButtons();
    addJournalPage();
    connect(controls_.startupTimer, &QTimer::timeout, this, &MainWindow::startUp);
    controls_.startupTimer->start();
}

// The threads end first, as they may still write; then the binder, so that no change
// reaches widgets that are being destroyed.
MainWindow::~MainWindow() {
    tasks_.reset();
    binder_.reset();
}

void MainWindow::onButton(const std::string& name, std::function<void()> action) {
    if (auto* button = controls_.get<QAbstractButton>(name))
        connect(button, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void MainWindow::onMenuItem(const char* item, std::function<void()> action) {
    if (auto* act = controls_.accountMenu->findChild<QAction*>(toQt(item)))
        connect(act, &QAction::triggered, this, [action = std::move(action)] { action(); });
}

void MainWindow::onLeftPress(const std::string& name, std::function<void()> action) {
    if (QWidget* widget = controls_.widget(name)) widget->installEventFilter(new LeftPressFilter(std::move(action), widget));
}

void MainWindow::wireButtons() {
    AccountStore& store = program_.store();
    onButton("开始", [this] { toggleRun(); });
    onButton("按钮_读取所有账号", [&store] { store.loadAccountList(); });
    onButton("按钮_修改账号信息", [&store] { store.modifyAccount(); });
    onButton("按钮_删除本账号", [this] { listOperations_->deleteEditedAccount(); });
    onButton("按钮14", [this] {
        const std::string id = program_.window().text(AccountStore::kIdField);
        tasks_->start([this, id] { program_.browser().startBrowser(id); });
    });
    onButton("按钮4", [this] { refreshCategoriesInBackground(); });
    onButton("按钮23", [this] {
        tasks_->start([this, waiter = tasks_->waiter()]() mutable { program_.redialTest(waiter); });
    });
}

void MainWindow::wireAccountMenu() {
    QTreeWidget* list = controls_.accountList;
    connect(list, &QWidget::customContextMenuRequested, this, &MainWindow::showAccountMenu);
    connect(list, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!binder_->mirroring()) listOperations_->selectRow(selectedRow());
    });
    AccountStore& store = program_.store();
    AccountListOperations& operations = *listOperations_;
    onMenuItem("添加账号", [&store] { store.addAccount(); });
    onMenuItem("删除此账号", [this, &operations] { operations.deleteRowAccount(selectedRow()); });
    onMenuItem("清空账号列表", [&operations] { operations.clearList(); });
    onMenuItem("配置登陆此账号", [this] { logInSelectedAccount(false); });
    onMenuItem("此项移动到最底部", [this, &operations] { operations.moveRowToBottom(selectedRow()); });
    onMenuItem("使用cookies登陆此账号", [this] { logInSelectedAccount(true); });
}

// The folder buttons, the used-videos default and the sub-zones that follow the zone.
void MainWindow::wireAccountFields() {
    onButton("按钮8", [this] { pickFolderInto(AccountStore::kFolderField); });
    onButton("按钮9", [this] { pickFolderInto(AccountListOperations::kUsedFolderField); });
    onButton("单选框_移动", [this] { listOperations_->defaultUsedFolder(); });
    // Only the user's choice: a zone selected by the program refills the sub-zones itself.
    if (auto* zones = controls_.get<QComboBox>(kZoneList))
        connect(zones, &QComboBox::activated, this, [this] { showSubZones(program_.window()); });
}

void MainWindow::wireBrowserButtons() {
    BrowserSession& browser = program_.browser();
    onButton("按钮_手动初始化", [&browser] { browser.initBrowserEnvironment(InitOrder::Button); });
    // Both wait on browsers (closing, asking for the version), so away from the window.
    onButton("按钮2", [this, &browser] { tasks_->start([&browser] { browser.closeAllBrowsers(); }); });
    onButton("按钮11", [this, &browser] { tasks_->start([&browser] { browser.showBrowserVersion(); }); });
    onLeftPress("标签15", [this] { program_.openProgramFolder(); });
}

void MainWindow::showAccountMenu(const QPoint& pos) {
    controls_.accountMenu->popup(controls_.accountList->viewport()->mapToGlobal(pos));
}

int MainWindow::selectedRow() const {
    const QList<QTreeWidgetItem*> selected = controls_.accountList->selectedItems();
    return selected.isEmpty() ? -1 : controls_.accountList->indexOfTopLevelItem(selected.front());
}

// The row and the field change at once; the browser starts on a thread of its own, since
// it takes seconds and the window must stay responsive meanwhile.
void MainWindow::logInSelectedAccount(bool withCookies) {
    std::optional<std::string> id = listOperations_->pickForLogIn(selectedRow());
    if (!id) return;
    std::string cookies = withCookies ? program_.clipboard().text() : std::string();
    tasks_->start([this, id = *id, cookies = std::move(cookies)] {
        logInWithCookies(program_.browser(), program_.automation(), id, cookies);
    });
}

void MainWindow::pickFolderInto(const std::string& field) {
    if (auto folder = folderPicker_.pick(kFolderPrompt, program_.programDir().string()))
        program_.window().setText(field, *folder);
}

// Reading the zones from the page takes about a second per zone.
void MainWindow::refreshCategoriesInBackground() {
    tasks_->start([this, waiter = tasks_->waiter()]() mutable {
        CategoryRefreshServices services{program_.automation(), program_.window(), program_.clipboard(),
                                         program_.programDir(), {}, &program_.pageProfiles()};
        refreshCategories(services, program_.browser().handle(), waiter);
    });
}

void MainWindow::addJournalPage() {
    QWidget* page = controls_.widget("发布记录");
    if (!page) return;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* journalPage = new JournalPage(program_.journal().file(), page);
    journalPage->setDecider([this](const VideoIdentity& video, bool published) {
        return program_.decidePublication(video, published);
    });
    layout->addWidget(journalPage);
}

void MainWindow::startUp() { program_.loadListsInBackground(); }

void MainWindow::claimHotKey() {
    hotKey_ = std::make_unique<GlobalHotKey>([this] {
        QMetaObject::invokeMethod(this, [this] { toggleRun(); }, Qt::QueuedConnection);
    });
}

void MainWindow::toggleRun() {
    program_.run().toggleRun();
    stateLines_->runToggled();
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
    if (program_.restart()) terminate_(0);
}

}  // namespace clipmill::ui
