#include "maximize.h"

#include <string>

namespace thornwake {

namespace {

// The records of MaxAll's first pass, in file order.
constexpr CharacterId FileOrder[] = {CharacterId::Hero, CharacterId::Girl, CharacterId::Sprite};

// What a failed write adds to its error: how far the operation got.
std::string RecordsWritten(int written, int total, CharacterId character, int levelIndex) {
    return std::to_string(written) + " of " + std::to_string(total) +
           " records were written before the error; " + CharacterName(character) + " level " +
           std::to_string(levelIndex + 1) + " may be incomplete.";
}

Status Partial(const Status& error, const std::string& told) {
    return Status::Fail(error.message() + " " + told);
}

Status FlushAfterAll(RomFile& file) {
    if (Status s = file.Flush(); !s) {
        return Partial(s, "All records were written before the error, but they may not all have reached the disk.");
    }
    return Status::Ok();
}

// Runs `writeOne(k)` for k = 0 .. count-1 with the progress callback after
// each, and stops before the next write once the callback closed or
// reopened the file. A failed write k ends the pass with its error and
// `told(k)` after it.
template <typename WriteOne, typename Told>
Result<MaxOutcome> RunPass(RomFile& file, int count, const ProgressCallback& progress,
                           WriteOne writeOne, Told told) {
    const std::uint64_t generation = file.Generation();
    for (int k = 0; k < count; ++k) {
        if (Status s = writeOne(k); !s) return Partial(s, told(k));
        if (progress) progress();
        if (!file.IsOpen() || file.Generation() != generation) return MaxOutcome::Interrupted;
    }
    return MaxOutcome::Completed;
}

Result<MaxOutcome> MaxTable(RomFile& file, CharacterId character,
                            const ProgressCallback& progress) {
    const LevelTable& table = TableOf(character);
    if (Status s = file.CheckRange("write", table.BaseOffset, LevelCount * LevelRecordSize); !s) {
        return s;
    }
    LevelRecord maxed = MaxedRecord;
    if (!table.HasMP) maxed.MP = 0;
    auto outcome = RunPass(
        file, LevelCount, progress,
        [&](int level) { return WriteLevelRecordFields(file, RecordOffset(character, level), maxed); },
        [&](int level) { return RecordsWritten(level, LevelCount, character, level); });
    if (!outcome || outcome.value() == MaxOutcome::Interrupted) return outcome;
    if (Status s = FlushAfterAll(file); !s) return s;
    return outcome;
}

}  // namespace

Result<MaxOutcome> MaxHero(RomFile& file, const ProgressCallback& progress) {
    return MaxTable(file, CharacterId::Hero, progress);
}

Result<MaxOutcome> MaxSprite(RomFile& file, const ProgressCallback& progress) {
    return MaxTable(file, CharacterId::Sprite, progress);
}

Result<MaxOutcome> MaxGirl(RomFile& file, const ProgressCallback& progress) {
    return MaxTable(file, CharacterId::Girl, progress);
}

Result<MaxOutcome> MaxAll(RomFile& file, const ProgressCallback& progress) {
    constexpr int allRecords = 3 * LevelCount;
    if (Status s = file.CheckRange("write", LevelTablesBegin, LevelTablesEnd - LevelTablesBegin); !s) {
        return s;
    }
    // First pass: the whole run of tables in file order, every MP 99.
    auto outcome = RunPass(
        file, allRecords, progress,
        [&](int k) {
            return WriteLevelRecordFields(file, LevelTablesBegin + std::uint64_t{LevelRecordSize} * k, MaxedRecord);
        },
        [&](int k) {
            std::string told = RecordsWritten(k, allRecords, FileOrder[k / LevelCount], k % LevelCount);
            if (k > 0) told += " The Hero's MP byte holds 99 in each Hero record written.";
            return told;
        });
    if (!outcome || outcome.value() == MaxOutcome::Interrupted) return outcome;
    // Second pass: the Hero has no MP.
    outcome = RunPass(
        file, LevelCount, progress,
        [&](int level) {
            return file.WriteAt(RecordOffset(CharacterId::Hero, level) + InfoOf(StatField::MP).recordOffset, {0});
        },
        [&](int level) {
            return "All " + std::to_string(allRecords) +
                   " records were written before the error; the Hero's MP byte of level " +
                   std::to_string(level + 1) + " and of the levels after it may still be 99.";
        });
    if (!outcome || outcome.value() == MaxOutcome::Interrupted) return outcome;
    if (Status s = FlushAfterAll(file); !s) return s;
    return outcome;
}

}  // namespace thornwake
