#pragma once
// The filter list of the Open ROM dialog and how the editor sets the dialog up.

#include <QStringList>

#include <string>

class QFileDialog;

namespace thornwake {

struct OpenFileRequest;

// The five entries, in order: each is its caption, and its last parentheses
// hold the patterns of exactly the files it means.
QStringList RomFileFilters();
// "All SNES ROM Files" comes up first.
constexpr int PreselectedRomFilter = 1;

void PrepareOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request);

// The name of the file a dialog answered, as the system's bytes (UTF-8 on
// Windows, whose names have no others). Qt reads names as UTF-8 and shows
// each byte that is not as U+FFFD, which encodes back to other bytes; such a
// name is looked up in its folder, and the one entry that reads the same is
// the file chosen. With none, or more than one, the name stays as Qt gave it.
std::string ChosenFileName(const QString& answer);

}  // namespace thornwake
