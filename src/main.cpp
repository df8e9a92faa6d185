#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyleFactory>
#include <memory>

#include "app/endpoints.h"
#include "app/fatal_error.h"
#include "app/program.h"
#include "app/startup_work.h"
#include "platform/relaunch.h"
#include "ui/chinese_font.h"
#include "ui/main_window.h"
#include "ui/qt_clipboard.h"
#include "ui/qt_dialogs.h"
#include "ui/qt_text.h"
#include "ui/startup_window.h"

namespace {

clipmill::ScreenSize primaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QSize size = screen->size();
    return {size.width(), size.height()};
}

void useProgramLook(QApplication& app) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    clipmill::ui::useChineseFont(app);
}

// The reporter's box: the reporter process has no application until it needs this one.
clipmill::FatalErrorBox fatalErrorBox(int argc, char** argv) {
    return [argc, argv](const std::string& caption, const std::string& text) mutable {
        QApplication app(argc, argv);
        useProgramLook(app);
        QMessageBox::critical(nullptr, clipmill::ui::toQt(caption), clipmill::ui::withLf(clipmill::ui::toQt(text)));
    };
}

}  // namespace

int main(int argc, char** argv) {
    const clipmill::ProgramFile programFile = clipmill::programFileOfThisProcess();
    const bool handedOver = clipmill::startedByHandover(argc, argv);
    clipmill::startCrashReporter(programFile.dir, fatalErrorBox(argc, argv));

    QApplication app(argc, argv);
    useProgramLook(app);

    clipmill::ui::QtDialogs dialogs;
    const auto folderLock = clipmill::claimProgramFolder(programFile.dir, handedOver, dialogs);
    if (!folderLock) return 1;
    clipmill::ui::QtClipboard clipboard(&app);
    clipmill::Program program(programFile,
                              clipmill::Desktop{dialogs, clipboard, primaryScreenSize});

    clipmill::ui::QtDialogs startupDialogs;
    std::unique_ptr<clipmill::ui::MainWindow> mainWindow;
    std::unique_ptr<clipmill::StartupWork> startupWork;
    auto openMainWindow = [&] {
        program.prepareMainWindow();
        mainWindow = std::make_unique<clipmill::ui::MainWindow>(program);
        dialogs.setParentWindow(mainWindow.get());
        startupWork->startVersionLoop(program.window());
        mainWindow->claimHotKey();
        mainWindow->show();
    };
    clipmill::ui::StartupWindow startup([&](clipmill::ui::StartupWindow& window) {
        clipmill::ui::runStartupSequence(window, program.log(), *startupWork, clipmill::installFatalErrorHandler,
                                         openMainWindow);
    });
    startupDialogs.setParentWindow(&startup);
    startupWork = std::make_unique<clipmill::StartupWork>(clipmill::StartupWork::Services{
        program.programDir(), programFile.path(), clipmill::loadOutsideAddresses(program.programDir()),
        program.log(), startup, startupDialogs});
    clipmill::ui::connectStartupWork(startup, *startupWork);
    startup.show();
    const int exitCode = QApplication::exec();
    startupWork.reset();
    mainWindow.reset();
    return exitCode;
}
