#pragma once
// The filter list of the Open ROM dialog and how the editor sets the dialog up.

#include <QStringList>

class QFileDialog;

namespace thornwake {

struct OpenFileRequest;

// The five entries, in order. Each reads as its description and selects files
// by the patterns in its last parentheses, which the dialog does not show.
QStringList RomFileFilters();
// "All SNES ROM Files" comes up first.
constexpr int PreselectedRomFilter = 1;

// What the file list of `dialog` shows for filter entry `filter`.
QString ShownFilterDescription(const QString& filter);

void PrepareOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request);

}  // namespace thornwake
