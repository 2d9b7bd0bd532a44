#include <QApplication>
#include <QCommandLineParser>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "desktop.h"
#include "main/main_window.h"
#include "program_info.h"

namespace {

constexpr int UsageErrorExitCode = 2;

// --help and --version only print: they run on the offscreen platform, so they
// work without a display (the build runs them to make the manual page).
bool OnlyPrints(int argc, char* argv[]) {
    const char* const printing[] = {"-h", "--help", "--help-all", "-v", "--version"};
    return std::any_of(argv + 1, argv + argc, [&](const char* argument) {
        return std::any_of(std::begin(printing), std::end(printing),
                           [&](const char* option) { return std::strcmp(argument, option) == 0; });
    });
}

[[noreturn]] void UsageError(const QString& text) {
    std::fprintf(stderr, "thornwake-editor: %s\n", text.toLocal8Bit().constData());
    std::exit(UsageErrorExitCode);
}

// The file named on the command line as an absolute path, in the system's
// bytes as given (a name need not be UTF-8, and a QString would not keep
// it), or empty for none. --help and --version print and end the program,
// wrong arguments too.
std::string FileArgument(const QApplication& app, int argc, char* argv[]) {
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
    // QApplication took its own options out of argv; of what is left, the
    // last argument that reads as FILE is FILE.
    std::string bytes = QFile::encodeName(files.first()).toStdString();
    for (int i = argc - 1; i > 0; --i) {
        if (QString::fromLocal8Bit(argv[i]) == files.first()) {
            bytes = argv[i];
            break;
        }
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(bytes, error);
    return error ? bytes : absolute.string();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (OnlyPrints(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
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
