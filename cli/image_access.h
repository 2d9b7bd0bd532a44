#pragma once
// Opening an image for the command-line companion, and what its commands need
// of the level records beyond the record operations: their raw bytes, whether
// a record lies inside a short image, and a field-by-field account of changes.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "level_tables.h"
#include "rom_file.h"
#include "status.h"

namespace thornwake::cli {

// Exit statuses of every subcommand.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;  // a refused image, a bad input file, a failed read or write
constexpr int ExitUsage = 2;

struct RecordId {
    CharacterId character;
    int levelIndex;  // 0..98
};

// "Hero level 5"
std::string RecordName(const RecordId& id);

// Every record of one character, or of all three in the order of presentation.
std::vector<RecordId> RecordsOf(CharacterId character);
std::vector<RecordId> AllRecords();

using RecordBytes = LevelRecordBytes;

// An existing image, opened for reading only or for reading and writing, that
// passed the size check. Messages of failures start with the path.
class Image {
public:
    // A path the system cannot follow fails with its reason ("PATH: Too many
    // levels of symbolic links"), anything but a regular file (links
    // followed) with "PATH is not a regular file.". A refused size fails with
    // the editor's message for the headered size, else says how much too
    // large the image is. Opened for writing, the image is held under the
    // writer's lock until this object goes, waiting up to `lockPatience` for
    // another writer; the lock also checks the file is still at its path.
    Status Open(const std::string& path, OpenMode mode, std::chrono::milliseconds lockPatience = WriterLockPatience);

    // Fails naming the record, of those that do not lie wholly inside the
    // image, that comes first in the file.
    Status CheckInside(const std::vector<RecordId>& records) const;

    Result<RecordBytes> ReadRecordBytes(const RecordId& id) const;
    Result<LevelRecord> ReadRecord(const RecordId& id) const;
    Result<std::vector<std::uint8_t>> ReadRange(std::uint64_t offset, std::size_t count) const;

    // "PATH: message", the form of every message about this image.
    Status Fail(const std::string& message) const;

    RomFile& File() { return file_; }
    const RomFile& File() const { return file_; }
    const std::string& Path() const { return path_; }
    std::uint64_t Size() const { return size_; }

private:
    RomFile file_;
    WriterLock lock_{file_};
    std::string path_;
    std::uint64_t size_ = 0;
};

// "HP 120 -> 130, Strength 10 -> 12": the fields whose stored bytes differ,
// in record order. Empty when the bytes are equal.
std::string DescribeChanges(const RecordBytes& before, const RecordBytes& after);

// Refuses to write `output` over one of `inputs` (an export over the image it
// reads, a patch over an image it compares).
Status CheckNotSameFile(const std::string& output, const std::vector<std::string>& inputs);

}  // namespace thornwake::cli
