#include "main/rom_file_dialog.h"

#include <QFileDialog>
#include <QRegularExpression>

#include "desktop.h"

namespace thornwake {

namespace {

// A description with parentheses of its own would lose them or have them read
// as patterns, so the patterns always follow in a second pair that the dialog
// hides.
QString Filter(const QString& description, const QString& patterns) {
    return description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

}  // namespace

QStringList RomFileFilters() {
    return {
        // "*" rather than "*.*": a file name without a dot is a file too.
        Filter(QStringLiteral("All Files (*.*)"), QStringLiteral("*")),
        Filter(QStringLiteral("All SNES ROM Files (*.swc, *.smc, *.fig)"),
               QStringLiteral("*.smc *.swc *.fig")),
        Filter(QStringLiteral("Super MagiCom ROM File ") + QStringLiteral("(*.smc)"),
               QStringLiteral("*.smc")),
        Filter(QStringLiteral("Super Wild Card ROM File (*.swc)"), QStringLiteral("*.swc")),
        Filter(QStringLiteral("Super UFO 8/Pro Fighter X ROM File (*.fig)"), QStringLiteral("*.fig")),
    };
}

QString ShownFilterDescription(const QString& filter) {
    // The file dialog's own rule for the part it hides.
    static const QRegularExpression patterns(QStringLiteral(
        "^(.*)\\(([a-zA-Z0-9_.,*? +;#\\-\\[\\]@\\{\\}/!<>\\$%&=^~:\\|]*)\\)$"));
    const auto match = patterns.match(filter);
    return match.hasMatch() ? match.captured(1).trimmed() : filter;
}

void PrepareOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request) {
    // Qt's own dialog, so the filter list looks the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(request.filters);
    dialog.selectNameFilter(request.filters.value(request.selectedFilter));
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
}

}  // namespace thornwake
