#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "ui/qt_text.h"

namespace clipmill::ui {

void QtDialogs::information(const std::string& text, const std::string& title) {
    ask(Kind::Information, text, title);
}

bool QtDialogs::confirm(const std::string& text, const std::string& title) { return ask(Kind::Confirm, text, title); }

bool QtDialogs::confirmOkCancel(const std::string& text, const std::string& title) {
    return ask(Kind::OkCancel, text, title);
}

bool QtDialogs::ask(Kind kind, const std::string& text, const std::string& title) {
    if (script_) return script_(kind, text, title);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return showBox(kind, text, title);
    bool answer = false;
    QMetaObject::invokeMethod(
        app, [&] { answer = showBox(kind, text, title); }, Qt::BlockingQueuedConnection);
    return answer;
}

bool QtDialogs::showBox(Kind kind, const std::string& text, const std::string& title) {
    if (kind == Kind::Information) {
        QMessageBox::information(parent_, toQt(title), toQt(text));
        return true;
    }
    if (kind == Kind::OkCancel)
        return QMessageBox::question(parent_, toQt(title), toQt(text), QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    return QMessageBox::question(parent_, toQt(title), toQt(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

}  // namespace clipmill::ui
