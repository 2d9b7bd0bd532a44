#include "table/level_table_model.h"

#include <QUndoCommand>

#include "text.h"
#include "writer_wait.h"

#include <algorithm>
#include <utility>

namespace thornwake {

namespace {

std::string CapitalizedLevelName(const RecordWrite& write) {
    std::string name = LevelName(write.character, write.levelIndex);
    name[0] = 'L';
    return name;
}

// One step of the history: a cell edit, a paste or a fill, which differ only
// by the records they write. The model writes them (forwards for redo,
// reversed for undo) before it moves the history, so that a step whose write
// fails stays where it is.
class RecordEditCommand : public QUndoCommand {
public:
    RecordEditCommand(std::vector<RecordWrite> writes, const QString& text)
        : QUndoCommand(text), writes_(std::move(writes)) {}
    const std::vector<RecordWrite>& writes() const { return writes_; }

private:
    std::vector<RecordWrite> writes_;
};

}  // namespace

LevelTableModel::LevelTableModel(RomFile& rom, QUndoStack& history, CharacterId character, QObject* parent)
    : QAbstractTableModel(parent), rom_(rom), history_(history), character_(character) {}

void LevelTableModel::setCharacter(CharacterId character) {
    character_ = character;
    emit characterChanged(character);
    finish(QStringLiteral("Showing the %1's levels.").arg(QString::fromLatin1(CharacterName(character))));
}

void LevelTableModel::finish(const QString& text) {
    Status unread = Status::Ok();
    for (int level = 0; level < LevelCount; ++level) {
        const Result<LevelRecord> record = ReadLevelRecord(rom_, character_, level);
        records_[level] = record ? std::optional(record.value()) : std::nullopt;
        if (!record && unread) unread = record.status();
    }
    emit dataChanged(index(0, 0), index(LevelCount - 1, columnCount() - 1));
    emit statusChanged(
        unread ? text : text + QStringLiteral(" Levels that could not be read are empty: ") + Text(unread.message()));
}

std::optional<int> LevelTableModel::value(int levelIndex, StatField field) const {
    const auto& record = records_[static_cast<std::size_t>(levelIndex)];
    if (!record || (field == StatField::MP && !TableOf(character_).HasMP)) return std::nullopt;
    return GetField(*record, field);
}

QString LevelTableModel::whyUnread(int levelIndex) const {
    if (records_[static_cast<std::size_t>(levelIndex)]) return {};
    if (RecordOffset(character_, levelIndex) + LevelRecordSize > rom_.OpenedSize()) {
        return QStringLiteral("the image is too short for %1.").arg(Text(LevelName(character_, levelIndex)));
    }
    const Result<LevelRecord> record = ReadLevelRecord(rom_, character_, levelIndex);
    return record ? QString() : Text(record.message());
}

QString LevelTableModel::cellName(const QModelIndex& index) const {
    return QStringLiteral("%1 level %2 %3")
        .arg(QString::fromLatin1(CharacterName(character_)))
        .arg(index.row() + 1)
        .arg(QString::fromLatin1(StatFields[static_cast<std::size_t>(index.column())].name));
}

int LevelTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : LevelCount; }
int LevelTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(StatFields.size());
}

QVariant LevelTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const StatField field = fieldOf(index.column());
    const auto stored = value(index.row(), field);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleDescriptionRole:
            if (!stored) return {};
            return Text(field == StatField::HP ? FormatHP(static_cast<std::int16_t>(*stored))
                                               : FormatStat(static_cast<std::uint8_t>(*stored)));
        case Qt::AccessibleTextRole: return cellName(index);
        case Qt::TextAlignmentRole: return int(Qt::AlignRight | Qt::AlignVCenter);
        default: return {};
    }
}

QVariant LevelTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return QStringLiteral("Level %1").arg(section + 1);
    return QString::fromLatin1(StatFields[static_cast<std::size_t>(section)].name);
}

Qt::ItemFlags LevelTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return value(index.row(), fieldOf(index.column())) ? flags | Qt::ItemIsEditable : flags;
}

bool LevelTableModel::setData(const QModelIndex& index, const QVariant& text, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    const StatField field = fieldOf(index.column());
    const auto parsed = ParseField(field, text.toString().toStdString());
    if (!parsed) {
        emit statusChanged(Text(WholeNumberRule(field)));
        return false;
    }
    commit({{index.row(), field, *parsed}}, QStringLiteral("%1 set to %2.").arg(cellName(index)).arg(*parsed));
    return true;
}

QString LevelTableModel::copy(const QModelIndexList& indexes) {
    if (indexes.isEmpty()) return {};
    int top = LevelCount, left = columnCount(), bottom = 0, right = 0;
    for (const QModelIndex& index : indexes) {
        top = std::min(top, index.row()), bottom = std::max(bottom, index.row());
        left = std::min(left, index.column()), right = std::max(right, index.column());
    }
    TextBlock block;
    for (int row = top; row <= bottom; ++row) {
        auto& cells = block.emplace_back();
        for (int column = left; column <= right; ++column) {
            cells.push_back(data(index(row, column), Qt::DisplayRole).toString().toStdString());
        }
    }
    emit statusChanged(top == bottom && left == right
                           ? QStringLiteral("Copied 1 cell.")
                           : QStringLiteral("Copied %1 x %2 cells.").arg(bottom - top + 1).arg(right - left + 1));
    return Text(FormatTabSeparated(block));
}

void LevelTableModel::paste(const QModelIndex& topLeft, const QString& text) {
    // Never more than the longest block that fits, whatever the clipboard holds.
    const QByteArray bounded = text.left(static_cast<qsizetype>(MaxPastedText) + 1).toUtf8();
    const Result<TextBlock> block = ParsePastedBlock(std::string_view(bounded.constData(), bounded.size()));
    if (!block) {
        emit statusChanged(QStringLiteral("Nothing was pasted: ") + Text(block.message()));
        return;
    }
    if (!topLeft.isValid() || block.value().empty()) {
        emit statusChanged(QStringLiteral("Nothing was pasted: the clipboard holds no cells."));
        return;
    }
    const auto cells = CellsOfBlock(block.value(), character_, topLeft.row(), fieldOf(topLeft.column()));
    if (!cells) {
        emit statusChanged(QStringLiteral("Nothing was pasted: ") + Text(cells.message()));
        return;
    }
    const std::size_t count = cells.value().size();
    commit(cells.value(), QStringLiteral("Pasted %1 %2 from %3.")
                              .arg(count)
                              .arg(count == 1 ? QStringLiteral("cell") : QStringLiteral("cells"), cellName(topLeft)));
}

void LevelTableModel::fill(const std::vector<int>& levels, StatField field, int first, int last, Curve curve) {
    const std::vector<int> values = CurveValuesAt(curve, first, last, levels);
    std::vector<CellEdit> cells;
    for (std::size_t i = 0; i < levels.size(); ++i) cells.push_back({levels[i], field, values[i]});
    commit(cells, QStringLiteral("Filled the %1's %2 of %3 from %4 to %5, %6.")
                      .arg(QString::fromLatin1(CharacterName(character_)), QString::fromLatin1(InfoOf(field).name),
                           Text(LevelNumbers(levels)))
                      .arg(first)
                      .arg(last)
                      .arg(QString::fromLatin1(Curves[static_cast<std::size_t>(curve)].name)));
}

void LevelTableModel::commit(const std::vector<CellEdit>& cells, const QString& done) {
    WriterLock lock(rom_);
    if (!acquire(lock, QStringLiteral("Nothing was written: "))) return;
    Result<std::vector<RecordWrite>> change = PrepareChange(rom_, character_, cells);
    if (!change) return finish(QStringLiteral("Nothing was written: ") + Text(change.message()));
    if (change.value().empty()) return finish(QStringLiteral("Nothing changed: the cells hold these values already."));
    const WriteReport report = WriteRecords(rom_, change.value());
    if (report.ok()) {
        noteWritten(change.value());
        history_.push(new RecordEditCommand(std::move(change.value()), done));
        return finish(done);
    }
    // What reached the file becomes a step of its own, so that Undo can take it back.
    const std::vector<RecordWrite> written = WrittenPart(change.value(), report);
    noteWritten(written);
    if (!written.empty()) history_.push(new RecordEditCommand(written, done));
    finish(Text(report.error.message()) + QLatin1Char(' ') + Text(WhatReachedTheFile(rom_, change.value(), report)) +
           (written.empty() ? QString() : QStringLiteral(" Undo takes back what reached the file.")));
}

bool LevelTableModel::acquire(WriterLock& lock, const QString& refused) {
    const Status locked = AcquireShowingWait(lock, lockPatience, [this](const QString& text) {
        if (!text.isEmpty()) emit statusChanged(text);
    });
    if (!locked) emit statusChanged(refused + Text(locked.message()));
    return locked.ok();
}

void LevelTableModel::undo() { step(false); }
void LevelTableModel::redo() { step(true); }

void LevelTableModel::step(bool forwards) {
    if (forwards ? !history_.canRedo() : !history_.canUndo()) return;
    const auto* command =
        static_cast<const RecordEditCommand*>(history_.command(history_.index() - (forwards ? 0 : 1)));
    const QString what = forwards ? QStringLiteral("Redone: ") : QStringLiteral("Undone: ");
    const QString refused = forwards ? QStringLiteral("Nothing was redone: ") : QStringLiteral("Nothing was undone: ");
    WriterLock lock(rom_);
    if (!acquire(lock, refused)) return;
    const std::vector<RecordWrite> writes = forwards ? command->writes() : Reversed(command->writes());
    const WriteReport report = WriteRecords(rom_, writes);
    showCharacter(writes.front().character);
    noteWritten(WrittenPart(writes, report));
    if (report.ok()) {
        const QString text = what + command->text();
        forwards ? history_.redo() : history_.undo();
        return finish(text);
    }
    if (report.end == WriteEnd::Changed) {
        const RecordWrite& changed = writes[report.changedRecord];
        return finish(refused + Text(CapitalizedLevelName(changed)) +
                      QStringLiteral(" no longer holds what this step expects: another program changed it. "
                                     "The step stays in the history."));
    }
    finish(Text(report.error.message()) + QLatin1Char(' ') + Text(WhatReachedTheFile(rom_, writes, report)) +
           QStringLiteral(" The step stays in the history."));
}

void LevelTableModel::noteWritten(const std::vector<RecordWrite>& writes) {
    for (const RecordWrite& write : writes) written_.insert({write.character, write.levelIndex});
}

void LevelTableModel::showCharacter(CharacterId character) {
    if (character == character_) return;
    character_ = character;
    emit characterChanged(character_);
}

}  // namespace thornwake
