#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <thread>

#include "ui/qt_dialogs.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

using DialogsTest = WindowTest;

// A question asked on another thread is shown on the UI thread, modal to the main
// window, and its answer goes back to the asking thread.
TEST_F(DialogsTest, AQuestionFromAWorkerIsShownModallyOnTheUiThread) {
    QtDialogs boxes;
    boxes.setParentWindow(window.get());
    QString title, text;
    QWidget* parent = nullptr;
    QTimer answerer;
    answerer.setInterval(10);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        parent = box->parentWidget();
        box->button(QMessageBox::Yes)->click();
    });
    answerer.start();

    std::atomic<int> answer{-1};
    std::thread worker([&] { answer = boxes.confirm("确定删除吗？") ? 1 : 0; });
    const auto answered = waitUntil([&] { return answer != -1; });
    worker.join();
    ASSERT_TRUE(answered);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(title, "信息：");
    EXPECT_EQ(text, "确定删除吗？");
    EXPECT_EQ(parent, window.get());
}

TEST_F(DialogsTest, AScriptAnswersInsteadOfABox) {
    QtDialogs boxes;
    std::vector<std::string> seen;
    boxes.setScript([&](QtDialogs::Kind kind, const std::string& text, const std::string& title) {
        seen.push_back(title + text);
        return kind == QtDialogs::Kind::Confirm;
    });
    boxes.information("账号标识 不能为空");
    EXPECT_TRUE(boxes.confirm("继续？"));
    EXPECT_EQ(seen, (std::vector<std::string>{"信息：账号标识 不能为空", "信息：继续？"}));
}

}  // namespace
}  // namespace clipmill::ui::testing
