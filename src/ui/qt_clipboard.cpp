#include "ui/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>

namespace clipmill::ui {

namespace {

constexpr auto kMostWait = std::chrono::seconds(3);

template <typename Result, typename Work>
Result onUiThread(QObject* context, Work work, Result otherwise) {
    if (QThread::currentThread() == context->thread()) return work();
    auto promise = std::make_shared<std::promise<Result>>();
    auto future = promise->get_future();
    QMetaObject::invokeMethod(context, [promise, work] { promise->set_value(work()); }, Qt::QueuedConnection);
    if (future.wait_for(kMostWait) != std::future_status::ready) return otherwise;
    return future.get();
}

}  // namespace

void QtClipboard::setText(const std::string& text) {
    const QString value = QString::fromStdString(text);
    onUiThread<bool>(context_, [value] {
        QGuiApplication::clipboard()->setText(value);
        return true;
    }, false);
}

std::string QtClipboard::text() {
    return onUiThread<std::string>(context_, [] { return QGuiApplication::clipboard()->text().toStdString(); }, {});
}

}  // namespace clipmill::ui
