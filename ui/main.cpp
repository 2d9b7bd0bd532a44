#include <QApplication>

#include "desktop.h"
#include "main/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("thornwake-editor"));
    thornwake::SystemDesktop desktop;
    thornwake::Main window(desktop);
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return QApplication::exec();
}
