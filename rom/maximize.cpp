#include "maximize.h"

namespace thornwake {

namespace {

// Runs `writeOne(k)` for k = 0 .. count-1 with the progress callback after
// each, and stops before the next write once the callback closed or
// reopened the file.
template <typename WriteOne>
Result<MaxOutcome> RunPass(RomFile& file, int count, const ProgressCallback& progress,
                           WriteOne writeOne) {
    const std::uint64_t generation = file.Generation();
    for (int k = 0; k < count; ++k) {
        if (Status s = writeOne(k); !s) return s;
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
    auto outcome = RunPass(file, LevelCount, progress, [&](int level) {
        return WriteLevelRecordFields(file, RecordOffset(character, level), maxed);
    });
    if (!outcome || outcome.value() == MaxOutcome::Interrupted) return outcome;
    if (Status s = file.Flush(); !s) return s;
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
    auto outcome = RunPass(file, allRecords, progress, [&](int k) {
        return WriteLevelRecordFields(file, LevelTablesBegin + std::uint64_t{LevelRecordSize} * k,
                                      MaxedRecord);
    });
    if (!outcome || outcome.value() == MaxOutcome::Interrupted) return outcome;
    // Second pass: the Hero has no MP.
    outcome = RunPass(file, LevelCount, progress, [&](int level) {
        return file.WriteAt(RecordOffset(CharacterId::Hero, level) + InfoOf(StatField::MP).recordOffset,
                            {0});
    });
    if (!outcome || outcome.value() == MaxOutcome::Interrupted) return outcome;
    if (Status s = file.Flush(); !s) return s;
    return outcome;
}

}  // namespace thornwake
