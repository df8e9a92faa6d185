#include "ui/startup_window.h"

#include <QApplication>
#include <QMouseEvent>

#include "app/startup_work.h"
#include "ui/qt_text.h"
#include "ui/state_lines.h"

namespace clipmill::ui {

namespace {

QLabel* placeLabel(QWidget* page, const char* name, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, page);
    label->setObjectName(QString::fromUtf8(name));
    label->setGeometry(geometry);
    label->setWordWrap(true);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

}  // namespace

StartupWindow::StartupWindow(std::function<void(StartupWindow&)> startupSequence, QWidget* parent)
    : QWidget(parent), startupSequence_(std::move(startupSequence)) {
    setObjectName(QStringLiteral("启动窗口"));
    setWindowTitle(QStringLiteral("Clipmill"));
    setFixedSize(916, 700);
    move(50, 50);

    auto* page = new QWidget(this);
    page->setGeometry(32, 96, 856, 527);

    productLabel_ = placeLabel(page, "透明标签3", QStringLiteral("软件公告"), {464, 40, 352, 32});
    productLabel_->setStyleSheet(QStringLiteral("color: grey; font-size: 20px;"));
    updateLabel_ = placeLabel(page, "透明标签_更新", QString(), {58, 224, 304, 96});
    updateLabel_->setStyleSheet(QStringLiteral("color: red;"));

    openLatest_ = new QPushButton(QStringLiteral("打开最新版"), page);
    openLatest_->setObjectName(QStringLiteral("超级按钮_打开"));
    openLatest_->setGeometry(42, 328, 320, 58);
    openLatest_->hide();

    advertisement_ = placeLabel(page, "图片框_广告", QString(), {31, 405, 720, 100});
    advertisement_->setCursor(Qt::PointingHandCursor);
    advertisement_->installEventFilter(this);
    connect(openLatest_, &QPushButton::clicked, this, &StartupWindow::openLatestRequested);

    createShortcut_ = new QPushButton(QStringLiteral("创建桌面快捷方式"), page);
    createShortcut_->setObjectName(QStringLiteral("超级按钮_创建快捷方式"));
    createShortcut_->setToolTip(QStringLiteral("在桌面创建快捷方式"));
    createShortcut_->setGeometry(608, 360, 210, 32);
    connect(createShortcut_, &QPushButton::clicked, this, &StartupWindow::createShortcutRequested);

    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("状态条1"));
    statusBar_->setSizeGripEnabled(false);
    statusBar_->setGeometry(0, 700 - 22, 916, 22);
    for (int part = 0; part < 3; ++part) {
        auto* label = new QLabel(statusBar_);
        statusParts_.append(label);
        statusBar_->addPermanentWidget(label, part == 2 ? 1 : 0);
    }

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("时钟1"));
    timer_->setSingleShot(true);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (startupSequence_) startupSequence_(*this);
    });
}

void StartupWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!started_) {
        started_ = true;
        timer_->start();
    }
}

void StartupWindow::setStatusPart(int part, const QString& text) {
    if (part >= 0 && part < statusParts_.size()) statusParts_[part]->setText(text);
}

bool StartupWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == advertisement_ && event->type() == QEvent::MouseButtonRelease) {
        emit advertisementClicked(advertisementLink_);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void StartupWindow::setStatusPart(int part, const std::string& text) {
    QMetaObject::invokeMethod(this, [this, part, text = toQt(text)] { setStatusPart(part, text); },
                              Qt::QueuedConnection);
}

void StartupWindow::setUpdateText(const std::string& text) {
    QMetaObject::invokeMethod(
        this,
        [this, text = toQt(text)] {
            updateLabel_->setText(text);
            updateLabel_->show();
        },
        Qt::QueuedConnection);
}

void StartupWindow::setOpenCaption(const std::string& caption) {
    QMetaObject::invokeMethod(this, [this, caption = toQt(caption)] { openLatest_->setText(caption); },
                              Qt::QueuedConnection);
}

void StartupWindow::showOpenButton() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            openLatest_->show();
            announceState("open button shown");
        },
        Qt::QueuedConnection);
}

// The picture plays as an animation when it is one; bytes that are no picture show nothing.
void StartupWindow::setAdvertisement(const std::string& pictureBytes, const std::string& link) {
    QByteArray bytes(pictureBytes.data(), static_cast<qsizetype>(pictureBytes.size()));
    QMetaObject::invokeMethod(
        this,
        [this, bytes = std::move(bytes), link = toQt(link)] {
            advertisementLink_ = link;
            delete picture_;
            delete pictureBuffer_;
            pictureBytes_ = bytes;
            pictureBuffer_ = new QBuffer(&pictureBytes_, this);
            picture_ = new QMovie(pictureBuffer_, QByteArray(), this);
            if (picture_->isValid()) {
                advertisement_->setMovie(picture_);
                picture_->start();
            } else {
                advertisement_->clear();
            }
        },
        Qt::QueuedConnection);
}

void StartupWindow::bringBack() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            move(50, 50);
            show();
            raise();
            activateWindow();
        },
        Qt::QueuedConnection);
}

void StartupWindow::retire() {
    move(-3000, y());
    hide();
}

}  // namespace clipmill::ui

#include "app/run_log.h"

namespace clipmill::ui {

void connectStartupWork(StartupWindow& window, StartupWork& work) {
    QObject::connect(&window, &StartupWindow::createShortcutRequested, &window, [&work] { work.createShortcut(); });
    QObject::connect(&window, &StartupWindow::advertisementClicked, &window,
                     [&work](const QString& link) { work.openAdvertisement(fromQt(link)); });
    // The new release runs; two seconds later this program ends with its start-up window.
    QObject::connect(&window, &StartupWindow::openLatestRequested, &window, [&window, &work] {
        if (!work.openLatest()) return;
        QTimer::singleShot(2000, &window, [] { QApplication::quit(); });
    });
}

void runStartupSequence(StartupWindow& window, RunLog& log, StartupWork& work,
                        const std::function<void()>& installFatalErrorHandler,
                        const std::function<void()>& openMainWindow) {
    log.write("启动窗口创建完毕");
    if (installFatalErrorHandler) installFatalErrorHandler();
    window.productLabel()->setText(QStringLiteral("Clipmill"));
    work.showDisclaimer();
    log.write("启动窗口线程");
    work.startBackgroundThreads();
    openMainWindow();
    window.retire();
}

}  // namespace clipmill::ui
