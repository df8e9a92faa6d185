#pragma once

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace clipmill::ui {

// The program's first window. One second after it is shown its one-shot timer runs the
// start-up sequence, which ends by handing over to the main window.
class StartupWindow : public QWidget {
    Q_OBJECT
public:
    explicit StartupWindow(std::function<void(StartupWindow&)> startupSequence, QWidget* parent = nullptr);

    QLabel* productLabel() const { return productLabel_; }  // 透明标签3
    QLabel* updateLabel() const { return updateLabel_; }    // 透明标签_更新
    QStatusBar* statusBar() const { return statusBar_; }    // 状态条1
    void setStatusPart(int part, const QString& text);

    // Moves the window off the screen and hides it; it stays loaded for the rest of the run.
    void retire();

signals:
    void createShortcutRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool started_ = false;
    std::function<void(StartupWindow&)> startupSequence_;
    QTimer* timer_;
    QLabel* productLabel_;
    QLabel* updateLabel_;
    QPushButton* openLatest_;
    QLabel* advertisement_;
    QPushButton* createShortcut_;
    QStatusBar* statusBar_;
    QList<QLabel*> statusParts_;
};

}  // namespace clipmill::ui

namespace clipmill {
class RunLog;
}

namespace clipmill::ui {

// The start-up sequence: log the milestones, show the product name, open the main window
// and retire the start-up window.
void runStartupSequence(StartupWindow& window, RunLog& log, const std::function<void()>& openMainWindow);

}  // namespace clipmill::ui
