#include "main/rom_file_dialog.h"

#include <QFileDialog>

#include "desktop.h"

namespace thornwake {

QStringList RomFileFilters() {
    // Qt reads an entry's patterns from its last parentheses. Where the
    // description's own would select other files than it means ("*.*" skips
    // names without a dot; "*.swc," keeps its comma), the right patterns
    // follow in a pair of their own.
    return {
        QStringLiteral("All Files (*.*) (*)"),
        QStringLiteral("All SNES ROM Files (*.swc, *.smc, *.fig) (*.smc *.swc *.fig)"),
        QStringLiteral("Super MagiCom ROM File ") + QStringLiteral("(*.smc)"),
        QStringLiteral("Super Wild Card ROM File (*.swc)"),
        QStringLiteral("Super UFO 8/Pro Fighter X ROM File (*.fig)"),
    };
}

void PrepareOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request) {
    // No options: the desktop's own dialog where it has one, Qt's where not.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(request.filters);
    dialog.selectNameFilter(request.filters.value(request.selectedFilter));
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
}

}  // namespace thornwake
