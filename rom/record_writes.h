#pragma once
// Writing whole level records into an image that other programs may change
// too. Every write states what it believes the record holds and is refused
// when the file holds something else; every record reaches the file in one
// positioned write of its 8 final bytes, so a run cut short at any moment
// leaves each record old or new; and the report tells exactly what reached
// the file.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "level_tables.h"
#include "rom_file.h"
#include "status.h"

namespace thornwake {

struct RecordWrite {
    CharacterId character = CharacterId::Hero;
    int levelIndex = 0;
    // What the writer believes the record holds; none for a write that
    // replaces whatever is there (a maximize run). A byte of the file that is
    // neither this one nor the replacement's (another program changed it) is
    // a refusal; the Hero's unused MP byte, which the editor neither reads nor
    // shows, is not compared.
    std::optional<LevelRecordBytes> expected;
    LevelRecordBytes replacement{};  // the record's final bytes
};

enum class WriteEnd {
    Done,         // every record written, flushed, and the path still names the file
    Changed,      // a record held something else: nothing was written
    Failed,       // refused before the first write, or a write failed
    FlushFailed,  // the records were written, the flush failed
    MovedAway,    // written and flushed, but the path names another file now
    Stopped,      // the progress callback stopped the run; what was written is flushed
};

struct WriteReport {
    WriteEnd end = WriteEnd::Done;
    Status error = Status::Ok();     // the message of what failed; Ok for Done and Stopped
    std::size_t recordsWritten = 0;  // the first ones of the list, whole
    std::size_t partialBytes = 0;    // of the record after them, when its write failed part way
    std::size_t changedRecord = 0;   // Changed: the first record that held something else
    bool ok() const { return end == WriteEnd::Done; }
    // Whether any byte of the list reached the file.
    bool wroteAny() const { return recordsWritten > 0 || partialBytes > 0; }
};

// Called after each record written; false stops the run.
using ProgressCallback = std::function<bool()>;

// For a caller holding the writer's lock. Refuses the whole list before the
// first write when a record reaches past the end of the file or does not
// hold what it is expected to; then writes the records in list order, each
// in one positioned write (RomFile::WriteAt checks before each that the file
// is still the one opened, with its size), calls `afterEach` after each,
// flushes once and checks that the path still names the file. A failed write
// stops the run; the records written before it stay. If `afterEach` closes or
// reopens the file, the run stops before its next write, without a flush.
WriteReport WriteRecords(RomFile& file, const std::vector<RecordWrite>& writes, const ProgressCallback& afterEach = {});

// "level 12 of the Sprite"
std::string LevelName(CharacterId character, int levelIndex);
// "level 4", "levels 2 and 5", "levels 1, 3 and 7 to 9": ascending indexes.
std::string LevelNumbers(const std::vector<int>& levelIndexes);
// "Hero levels 1 to 99 and Girl levels 3, 5 and 7 to 9": the records
// first .. last - 1 of the list, by character in list order.
std::string LevelsOf(const std::vector<RecordWrite>& writes, std::size_t first, std::size_t last);

// What reached the file after a run that did not end Done or Changed, in
// sentences: "Nothing was written.", "Sprite levels 1 to 3 reached the file
// whole; level 4 of the Sprite is incomplete: its HP only in part, the other
// fields kept their old values. The other levels were not written.", "The
// new values are in the file, but the system could not confirm that they
// reached the disk.", ...
std::string WhatReachedTheFile(const RomFile& file, const std::vector<RecordWrite>& writes, const WriteReport& report);

// The records as the file holds them after `report`: the records written
// whole, and a record written in part with the bytes that reached the file.
// For taking back what a failed run wrote.
std::vector<RecordWrite> WrittenPart(const std::vector<RecordWrite>& writes, const WriteReport& report);

}  // namespace thornwake
