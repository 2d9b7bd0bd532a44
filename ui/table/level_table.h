#pragma once
// The Level Table window: all 99 levels of one character at once in a grid,
// the curve of the current column, copy and paste, fills along a curve, and
// undo and redo of every change on a history that outlives the window. Every
// change is written to the image at once.

#include <QDialog>
#include <QUndoStack>

#include <set>

#include "level_tables.h"
#include "rom_file.h"
#include "table/level_table_model.h"

class QComboBox;
class QLabel;
class QTableView;

namespace thornwake {

class CurveChart;
class Desktop;

class LevelTableWindow : public QDialog {
    Q_OBJECT
public:
    // `rom` must be open; `desktop` shows the Fill dialog; `history` holds
    // the steps to undo and redo, also those of an earlier window on the same
    // image. All three must outlive the window. It opens on `character`, its
    // current cell the HP of `levelIndex`, at the size it had when last closed.
    // Writes wait up to `lockPatience` for another program writing the image.
    LevelTableWindow(RomFile& rom, Desktop& desktop, QUndoStack& history, CharacterId character, int levelIndex,
                     QWidget* parent = nullptr, std::chrono::milliseconds lockPatience = WriterLockPatience);
    ~LevelTableWindow() override;

    void copy();
    // At the top left cell of the selection, as spreadsheets paste.
    void paste();
    // Fills the selected levels of one column, a single cell standing for its whole column.
    void fill();
    // Every record the window wrote, also in part (an undo too).
    const std::set<RecordKey>& writtenRecords() const { return model_->writtenRecords(); }

    void done(int result) override;

private:
    void buildControls();
    void addShortcuts();
    void followSelection();
    // One line in StatusLBL: what the last action did or why it was refused.
    void say(const QString& text);

    Desktop& desktop_;
    QUndoStack& history_;
    LevelTableModel* model_;
    QComboBox* characters_ = nullptr;
    QTableView* grid_ = nullptr;
    CurveChart* chart_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace thornwake
