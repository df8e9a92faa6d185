#pragma once

#include <QBuffer>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "update/startup_view.h"

namespace clipmill::ui {

// The program's first window. One second after it is shown its one-shot timer runs the
// start-up sequence, which ends by handing over to the main window.
class StartupWindow : public QWidget, public StartupView {
    Q_OBJECT
public:
    explicit StartupWindow(std::function<void(StartupWindow&)> startupSequence, QWidget* parent = nullptr);

    QLabel* productLabel() const { return productLabel_; }  // 透明标签3
    QLabel* updateLabel() const { return updateLabel_; }    // 透明标签_更新
    QStatusBar* statusBar() const { return statusBar_; }    // 状态条1
    void setStatusPart(int part, const QString& text);
    QPushButton* openLatestButton() const { return openLatest_; }  // 超级按钮_打开
    QLabel* advertisement() const { return advertisement_; }        // 图片框_广告
    QString advertisementLink() const { return advertisementLink_; }

    // StartupView: callable from any thread, carried to the window's thread.
    void setStatusPart(int part, const std::string& text) override;
    void setUpdateText(const std::string& text) override;
    void setOpenCaption(const std::string& caption) override;
    void showOpenButton() override;
    void bringBack() override;
    void setAdvertisement(const std::string& pictureBytes, const std::string& link) override;

    // Moves the window off the screen and hides it; it stays loaded for the rest of the run.
    void retire();

signals:
    void createShortcutRequested();
    void openLatestRequested();
    void advertisementClicked(const QString& link);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool started_ = false;
    std::function<void(StartupWindow&)> startupSequence_;
    QTimer* timer_;
    QLabel* productLabel_;
    QLabel* updateLabel_;
    QPushButton* openLatest_;
    QLabel* advertisement_;
    QString advertisementLink_;
    QByteArray pictureBytes_;
    QBuffer* pictureBuffer_ = nullptr;
    QMovie* picture_ = nullptr;
    QPushButton* createShortcut_;
    QStatusBar* statusBar_;
    QList<QLabel*> statusParts_;
};

}  // namespace clipmill::ui

namespace clipmill {
class RunLog;
class StartupWork;
}

namespace clipmill::ui {

// Connects the window's buttons and picture to the work behind them.
void connectStartupWork(StartupWindow& window, StartupWork& work);

// The start-up sequence: log the milestones, the fatal-error handler, the product name, the
// disclaimer, the background threads; then open the main window and retire this one.
void runStartupSequence(StartupWindow& window, RunLog& log, StartupWork& work,
                        const std::function<void()>& installFatalErrorHandler,
                        const std::function<void()>& openMainWindow);

}  // namespace clipmill::ui
