#include "main/rom_file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include <filesystem>
#include <vector>

#include "desktop.h"

namespace thornwake {

QStringList RomFileFilters() {
    // Qt reads an entry's patterns from its last parentheses, and the dialog
    // shows only what stands before them. So each caption is followed by the
    // patterns of exactly the files it means, in a pair of their own: "*.*"
    // would skip names without a dot, "*.swc," would keep its comma, and the
    // SNES images also take today's usual name, *.sfc.
    return {
        QStringLiteral("All Files (*.*) (*)"),
        QStringLiteral("All SNES ROM Files (*.swc, *.smc, *.fig) (*.smc *.swc *.fig *.sfc)"),
        QStringLiteral("Super MagiCom ROM File ") + QStringLiteral("(*.smc) (*.smc)"),
        QStringLiteral("Super Wild Card ROM File (*.swc) (*.swc)"),
        QStringLiteral("Super UFO 8/Pro Fighter X ROM File (*.fig) (*.fig)"),
    };
}

void PrepareOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request) {
    // The desktop's own dialog where it has one, Qt's where not; the one
    // option makes either show each entry's caption once.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(request.filters);
    dialog.selectNameFilter(request.filters.value(request.selectedFilter));
    if (!request.fileName.isEmpty()) {
        // Windows' dialog takes only the name from selectFile: it would show
        // the name in the program's folder, and Open would miss the file.
        dialog.setDirectory(QFileInfo(request.fileName).absolutePath());
        dialog.selectFile(request.fileName);
    }
}

std::string ChosenFileName(const QString& answer) {
    // UTF-8 on every system: Windows names are UTF-16 and have no other bytes.
    const std::filesystem::path named = std::filesystem::u8path(answer.toStdString());
    std::error_code error;
    const bool missing = std::filesystem::symlink_status(named, error).type() == std::filesystem::file_type::not_found;
    if (!answer.contains(QChar::ReplacementCharacter) || !missing) return named.u8string();
    const QString wanted = QFileInfo(answer).fileName();
    std::vector<std::string> matches;
    for (std::filesystem::directory_iterator entry(named.parent_path(), error), end; !error && entry != end;
         entry.increment(error)) {
        if (QString::fromStdString(entry->path().filename().u8string()) == wanted) {
            matches.push_back(entry->path().u8string());
        }
    }
    return matches.size() == 1 ? matches.front() : named.u8string();
}

}  // namespace thornwake
