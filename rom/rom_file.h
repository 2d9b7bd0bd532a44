#pragma once
// The one open ROM image file. Nothing of the image is cached: every ReadAt and
// WriteAt goes straight to the operating system at its offset.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace thornwake {

// 2 MiB of image plus a 512-byte copier header.
constexpr std::uint64_t HeaderedROMSize = 0x200200;  // 2,097,664
// 3 MiB plus 512 bytes; larger files are refused.
constexpr std::uint64_t ROMSizeLimit = 0x300200;  // 3,146,240

enum class SizeCheck { Accepted, Refused };

// The verdict for a file of `length` bytes.
SizeCheck CheckROMSize(std::uint64_t length);

// What the user is told about a refused image.
constexpr const char* RefusedROMTitle = "Cannot Proceed";
constexpr const char* RefusedROMMessage =
    "This ROM has a 200 byte header that must be removed before using this program.";

enum class OpenMode { ReadWrite, ReadOnly };

// How long a writer waits for another program's lock on the image.
constexpr std::chrono::milliseconds WriterLockPatience{3000};

class RomFile {
public:
    RomFile() = default;
    ~RomFile();
    RomFile(const RomFile&) = delete;
    RomFile& operator=(const RomFile&) = delete;

    // Opens the existing regular file at `path` (links followed) for reading
    // and writing, or for reading only. Never creates a file; refuses a
    // directory, device, FIFO or socket ("PATH is not a regular file.") before
    // a byte is read or written. Precondition: Closed. On failure the message
    // names the path and the system's reason, and the object stays Closed.
    Status Open(const std::string& path, OpenMode mode = OpenMode::ReadWrite);

    // Measures the length of the file just opened from `path` and checks it.
    // Reads no content, changes nothing.
    Result<SizeCheck> LoadROMFileSize(const std::string& path) const;

    // The `count` bytes at offset .. offset + count - 1. A range that reaches
    // past the end of the file is refused with an error naming the offset and
    // the file's size; a short read, EINTR and EOF are handled.
    Result<std::vector<std::uint8_t>> ReadAt(std::uint64_t offset, std::size_t count) const;

    // Stores the bytes at offset .. offset + size - 1 and nothing else. The
    // bytes have reached the operating system when this returns. A range past
    // the end of the file is refused: the file never grows. Refused on a file
    // opened for reading only.
    Status WriteAt(std::uint64_t offset, const std::vector<std::uint8_t>& bytes);

    // Writes `bytes` at `offset` as consecutive positioned writes of the given
    // widths (adding up to bytes.size()), after one check of the whole span:
    // a span that reaches past the end is refused before its first write.
    // `piecesWritten`, when given, receives how many pieces reached the file,
    // also when a later one failed.
    Status WriteInPieces(std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                         const std::vector<std::size_t>& widths, std::size_t* piecesWritten = nullptr);

    // Flushes what was written to the storage device (fsync). Any failure of
    // the flush is a failed write.
    Status Flush();

    // Whether the open handle is still the file at its path: the same device
    // and inode, and not deleted. Otherwise "PATH was moved, replaced or
    // deleted since it was opened. Open it again."
    Status CheckStillAtPath() const;

    // Takes the exclusive advisory lock (flock) on the open file, waiting up
    // to `patience` for another writer to finish ("PATH is being changed by
    // another program."), then checks CheckStillAtPath. Released by Unlock or
    // Close.
    Status LockForWriting(std::chrono::milliseconds patience = WriterLockPatience);
    void Unlock();

    // Closes the file if open; does nothing otherwise. Never fails.
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    bool IsReadOnly() const { return readOnly_; }
    const std::string& Path() const { return path_; }

    // Current length of the open file, through its handle.
    Result<std::uint64_t> Size() const;

    // Counts successful openings. A long operation that lets other commands
    // run in between notes it at the start and stops when it changed or the
    // file was closed, so it never writes into a closed or different file.
    std::uint64_t Generation() const { return generation_; }

    // Whether `count` bytes at `offset` lie inside the open file; the error
    // names the offset and the file's size. `what` is "read" or "write".
    Status CheckRange(const char* what, std::uint64_t offset, std::size_t count) const;

private:
    Status WriteUnchecked(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count);

    int fd_ = -1;
    bool readOnly_ = false;
    std::string path_;
    std::uint64_t generation_ = 0;
};

// The writer's lock for one save, one maximize run or one command: taken by
// Acquire, released when it goes out of scope, unless the file was closed or
// reopened meanwhile (closing already released it).
class WriterLock {
public:
    explicit WriterLock(RomFile& file) : file_(file) {}
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    Status Acquire(std::chrono::milliseconds patience = WriterLockPatience);

private:
    RomFile& file_;
    std::uint64_t generation_ = 0;
    bool held_ = false;
};

}  // namespace thornwake
