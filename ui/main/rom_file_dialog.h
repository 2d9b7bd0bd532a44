#pragma once
// The filter list of the Open ROM dialog and how the editor sets the dialog up.

#include <QStringList>

class QFileDialog;

namespace thornwake {

struct OpenFileRequest;

// The five entries, in order: each is its caption, and its last parentheses
// hold the patterns of exactly the files it means.
QStringList RomFileFilters();
// "All SNES ROM Files" comes up first.
constexpr int PreselectedRomFilter = 1;

void PrepareOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request);

}  // namespace thornwake
