#pragma once
// The Level Table window: all 99 levels of one character at once in a grid,
// the curve of the current column, copy and paste, fills along a curve, and
// undo and redo of every change while the window is open. Every change is
// written to the image at once.

#include <QDialog>
#include <QUndoStack>

#include "level_tables.h"
#include "rom_file.h"

class QComboBox;
class QLabel;
class QTableView;

namespace thornwake {

class CurveChart;
class Desktop;
class LevelTableModel;

class LevelTableWindow : public QDialog {
    Q_OBJECT
public:
    // `rom` must be open; `desktop` shows the Fill dialog. Both must outlive
    // the window.
    // Writes wait up to `lockPatience` for another program writing the image.
    LevelTableWindow(RomFile& rom, Desktop& desktop, CharacterId character, QWidget* parent = nullptr,
                     std::chrono::milliseconds lockPatience = WriterLockPatience);
    ~LevelTableWindow() override;

    void copy();
    void paste();
    void fill();

private:
    void buildControls();
    void addShortcuts();
    void followSelection();
    // One line in StatusLBL: what the last action did or why it was refused.
    void say(const QString& text);

    Desktop& desktop_;
    QUndoStack history_;
    LevelTableModel* model_;
    QComboBox* characters_ = nullptr;
    QTableView* grid_ = nullptr;
    CurveChart* chart_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace thornwake
