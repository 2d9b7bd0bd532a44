#pragma once
// Raise every level of one character, or of all three, to the maximum stats:
// HP 999, MP 99 (the Hero's 0), Strength .. Wisdom 99.

#include <optional>
#include <vector>

#include "level_tables.h"
#include "record_writes.h"
#include "rom_file.h"

namespace thornwake {

constexpr LevelRecord MaxedRecord{999, 99, 99, 99, 99, 99, 99};

// The records a maximize writes, in file order: the 99 of `character`, or
// with none all 297 (Hero, Girl, Sprite), each once with its final bytes (the
// Hero's MP 0) and no expectation: a maximize replaces whatever is there.
std::vector<RecordWrite> MaximizeWrites(std::optional<CharacterId> character);

// WriteRecords of MaximizeWrites: nothing is written on an image too short
// for every record; the progress callback runs after each record (99 times,
// MaxAll 297) and may stop the run. The caller holds the writer's lock.
WriteReport MaxHero(RomFile& file, const ProgressCallback& progress);
WriteReport MaxSprite(RomFile& file, const ProgressCallback& progress);
WriteReport MaxGirl(RomFile& file, const ProgressCallback& progress);
WriteReport MaxAll(RomFile& file, const ProgressCallback& progress);

}  // namespace thornwake
