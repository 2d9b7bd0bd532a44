#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "desktop.h"
#include "main/main_window.h"
#include "program_info.h"

namespace {

// --help and --version only print: they run on the offscreen platform, so they
// work without a display (the build runs them to make the manual page).
bool OnlyPrints(int argc, char* argv[]) {
    const char* const printing[] = {"-h", "--help", "--help-all", "-v", "--version"};
    return std::any_of(argv + 1, argv + argc, [&](const char* argument) {
        return std::any_of(std::begin(printing), std::end(printing),
                           [&](const char* option) { return std::strcmp(argument, option) == 0; });
    });
}

// The file named on the command line as an absolute path, or empty for none.
// --help, --version and wrong arguments print and end the program.
QString FileArgument(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Thornwake Level & Stat Editor: edit the character level tables of a "
                       "Thornwake ROM image (SNES) in place."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("The ROM image to open at start, as if chosen with File > Open ROM."),
        QStringLiteral("[FILE]"));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "thornwake-editor: %d files given; the editor opens one FILE at a time.\n",
                     static_cast<int>(files.size()));
        std::exit(EXIT_FAILURE);
    }
    return files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (OnlyPrints(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("thornwake-editor"));
    QApplication::setApplicationVersion(thornwake::VersionText());
    const QString file = FileArgument(app);

    thornwake::SystemDesktop desktop;
    thornwake::Main window(desktop);
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    if (!file.isEmpty()) window.OpenROM(file);
    return QApplication::exec();
}
