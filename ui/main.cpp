#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "desktop.h"
#include "main/main_window.h"
#include "os_file.h"
#include "program_info.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

constexpr int UsageErrorExitCode = 2;

#ifndef Q_OS_WIN
// --help and --version only print: they run on the offscreen platform, so
// they work without a display (the build runs them to make the manual page).
// Windows always has one.
bool OnlyPrints(int argc, char* argv[]) {
    const char* const printing[] = {"-h", "--help", "--help-all", "-v", "--version"};
    return std::any_of(argv + 1, argv + argc, [&](const char* argument) {
        return std::any_of(std::begin(printing), std::end(printing),
                           [&](const char* option) { return std::strcmp(argument, option) == 0; });
    });
}
#endif

// Whether what the program prints reaches someone. A Windows program with
// windows has no console: unless its caller handed it standard handles, Qt
// shows --help and --version in a message box, and so do usage errors.
bool PrintsReachSomeone() {
#ifdef Q_OS_WIN
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    return ::GetConsoleWindow() != nullptr || (startup.dwFlags & STARTF_USESTDHANDLES) != 0;
#else
    return true;
#endif
}

[[noreturn]] void UsageError(const QString& text) {
    if (PrintsReachSomeone()) {
        std::fprintf(stderr, "thornwake-editor: %s\n", text.toLocal8Bit().constData());
    } else {
        QMessageBox::critical(nullptr, QStringLiteral("thornwake-editor"), text);
    }
    std::exit(UsageErrorExitCode);
}

// The file named on the command line as an absolute path, in the system's
// bytes as given (a name need not be UTF-8, and a QString would not keep
// it; on Windows in UTF-8), or empty for none. --help and --version print
// and end the program, wrong arguments too.
std::string FileArgument(const QApplication& app, int argc, char* argv[]) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Thornwake Level & Stat Editor: edit the character level tables of a "
                       "Thornwake ROM image (SNES) in place."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The ROM image to open at start, as if chosen with File > Open ROM."),
                                 QStringLiteral("[FILE]"));
    if (!parser.parse(QCoreApplication::arguments())) UsageError(parser.errorText());
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        UsageError(QStringLiteral("%1 files given; the editor opens one FILE at a time.").arg(files.size()));
    }
    if (files.isEmpty()) return {};
    if (files.first().isEmpty()) {
        UsageError(QStringLiteral("the FILE argument is empty; name a ROM image or leave FILE out."));
    }
    // The last argument that reads as FILE is FILE (QApplication took its own
    // options out of argv, and Windows' argv loses letters: the program's
    // arguments are read from its wide command line there).
    const std::vector<std::string> given = thornwake::os::ProgramArguments(argc, argv);
    std::string bytes = files.first().toStdString();
    for (auto argument = given.rbegin(); argument + 1 < given.rend(); ++argument) {
        if (QString::fromStdString(*argument) == files.first()) {
            bytes = *argument;
            break;
        }
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::u8path(bytes), error);
    return error ? bytes : absolute.u8string();
}

}  // namespace

int main(int argc, char* argv[]) {
#ifndef Q_OS_WIN
    if (OnlyPrints(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("thornwake-editor"));
    QApplication::setApplicationVersion(thornwake::VersionText());
    const std::string file = FileArgument(app, argc, argv);

    thornwake::SystemDesktop desktop;
    thornwake::Main window(desktop);
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    if (!file.empty()) window.OpenAtStart(file);
    return QApplication::exec();
}
