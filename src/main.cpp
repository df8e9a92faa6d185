#include <QApplication>
#include <QStyleFactory>

#include "app/program.h"
#include "ui/chinese_font.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    clipmill::ui::useChineseFont(app);

    clipmill::ui::QtDialogs dialogs;
    clipmill::Program program(clipmill::Program::executableDir(), dialogs);
    clipmill::ui::MainWindow window(program);
    dialogs.setParentWindow(&window);
    window.show();
    return QApplication::exec();
}
