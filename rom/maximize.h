#pragma once
// Raise every level of one character, or of all three, to the maximum stats:
// HP 999, MP 99 (the Hero's 0), Strength .. Wisdom 99.

#include <functional>

#include "level_tables.h"
#include "rom_file.h"
#include "status.h"

namespace thornwake {

// Called after each record written. It may let other commands run; if one of
// them closes or reopens the file, the operation stops before its next write.
using ProgressCallback = std::function<void()>;

enum class MaxOutcome {
    Completed,    // every record written and flushed
    Interrupted,  // the file was closed or reopened during a callback; nothing written after that
};

constexpr LevelRecord MaxedRecord{999, 99, 99, 99, 99, 99, 99};

// Before the first write each operation checks that every record it will
// write lies inside the file; on a short image it writes nothing and fails.
// A failed write stops at once; the records written before it stay, and the
// error says how many were written and which record may be incomplete
// ("... 41 of 99 records were written before the error; Sprite level 42 may
// be incomplete."). The operations neither lock the file nor check that it is
// still at its path: their callers do that (WriterLock).
Result<MaxOutcome> MaxHero(RomFile& file, const ProgressCallback& progress);
Result<MaxOutcome> MaxSprite(RomFile& file, const ProgressCallback& progress);
Result<MaxOutcome> MaxGirl(RomFile& file, const ProgressCallback& progress);
// Two passes: all 297 records in file order (Hero, Girl, Sprite) with MP 99,
// then the 99 Hero MP bytes back to 0.
Result<MaxOutcome> MaxAll(RomFile& file, const ProgressCallback& progress);

}  // namespace thornwake
