#pragma once
// One character's 99 level records as a table of cells, and the only place
// where cells turn into records and back. Every change goes through an undo
// step on the history and is written to the image at once, under the
// writer's lock, with one flush; the records are read again after each write.

#include <QAbstractTableModel>
#include <QUndoStack>

#include <array>
#include <chrono>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "level_edits.h"
#include "level_tables.h"
#include "rom_file.h"

namespace thornwake {

// A record of the image: its character and level index.
using RecordKey = std::pair<CharacterId, int>;

class LevelTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `rom` and `history` must outlive the model.
    LevelTableModel(RomFile& rom, QUndoStack& history, CharacterId character, QObject* parent = nullptr);

    CharacterId character() const { return character_; }
    // Shows `character`, read afresh from the file.
    void setCharacter(CharacterId character);

    static StatField fieldOf(int column) { return StatFields[static_cast<std::size_t>(column)].field; }
    // The stored value of a cell; nothing for the Hero's MP or a record that could not be read.
    std::optional<int> value(int levelIndex, StatField field) const;
    // Why a level of the shown character holds no values: "the image is too
    // short for level 40 of the Sprite." or the read error; empty when it was read.
    QString whyUnread(int levelIndex) const;
    // "Sprite level 12 Strength"
    QString cellName(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Parses the text as the main window's fields do; a bad text writes nothing.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The cells of the rectangle around `indexes` as tab-separated text.
    QString copy(const QModelIndexList& indexes);
    // Checks every value of the block first (ParsePastedBlock, CellsOfBlock);
    // writes all of them or none.
    void paste(const QModelIndex& topLeft, const QString& text);
    // The levels (ascending indexes) of one column along a curve, as CurveValuesAt.
    void fill(const std::vector<int>& levels, StatField field, int first, int last, Curve curve);
    void undo();
    void redo();
    // Every record that any write of this model reached, also in part.
    const std::set<RecordKey>& writtenRecords() const { return written_; }

    // How long a write waits for another program that is writing the image.
    std::chrono::milliseconds lockPatience = WriterLockPatience;

signals:
    // What the last action did, or why it was refused.
    void statusChanged(const QString& text);
    void characterChanged(CharacterId character);

private:
    void commit(const std::vector<CellEdit>& cells, const QString& done);
    // Takes the writer's lock, or says in the status why not, after `refused`.
    bool acquire(WriterLock& lock, const QString& refused);
    // Writes the step to redo (forwards) or to undo and moves the history
    // only when every record of it reached the file.
    void step(bool forwards);
    void showCharacter(CharacterId character);
    // Reads the records again and reports `text`, followed by any read error.
    void finish(const QString& text);
    void noteWritten(const std::vector<RecordWrite>& writes);

    RomFile& rom_;
    QUndoStack& history_;
    CharacterId character_;
    std::array<std::optional<LevelRecord>, LevelCount> records_;
    std::set<RecordKey> written_;
};

}  // namespace thornwake
