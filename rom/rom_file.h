#pragma once
// The one open ROM image file. Nothing of the image is cached: every ReadAt and
// WriteAt goes straight to the operating system at its offset.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "os_file.h"
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

    // The `count` bytes at offset .. offset + count - 1. Refused when the file
    // no longer has the size it had when it was opened, or when the range
    // reaches past its end (the error names the offset and the file's size); a
    // short read and EINTR are handled.
    Result<std::vector<std::uint8_t>> ReadAt(std::uint64_t offset, std::size_t count) const;

    // Stores the bytes at offset .. offset + size - 1 and nothing else, in one
    // positioned write (the rest again after a short one). First checks that
    // the file is still the one opened, at its path, with its size
    // (CheckUnchanged), and that the range lies inside it: the file never
    // grows. Refused on a file opened for reading only. `bytesWritten`, when
    // given, receives how many of the bytes reached the file, also on failure.
    Status WriteAt(std::uint64_t offset, const std::vector<std::uint8_t>& bytes, std::size_t* bytesWritten = nullptr);

    // Flushes what was written to the storage device. Any failure of the
    // flush is a failed write.
    Status Flush();

    // Whether the open handle is still the file at its path: the same device
    // and inode, and not deleted. Otherwise "PATH was moved, replaced or
    // deleted since it was opened. Open it again."
    Status CheckStillAtPath() const;
    // CheckStillAtPath, and the file still has the size it had when it was
    // opened: "PATH changed size since it was opened (2097152 bytes then,
    // 2097664 now). Open it again."
    Status CheckUnchanged() const;

    // Takes the writer's lock: the exclusive advisory lock (flock, LockFileEx)
    // that every writer of an image takes, waiting up to `patience` for
    // another program to release it ("PATH is being changed by another
    // program."); `whileWaiting` is called once when the wait begins. Then
    // checks CheckUnchanged. Counted: a lock taken while this object holds it
    // already only adds to the count, and each Unlock takes one away, so an
    // inner action never releases an outer one. Close releases it whole.
    Status LockForWriting(std::chrono::milliseconds patience = WriterLockPatience,
                          const std::function<void()>& whileWaiting = {});
    void Unlock();
    bool HoldsLock() const { return lockCount_ > 0; }

    // Closes the file if open; does nothing otherwise. Never fails.
    void Close();

    bool IsOpen() const { return handle_ != os::NoHandle; }
    bool IsReadOnly() const { return readOnly_; }
    const std::string& Path() const { return path_; }

    // Current length of the open file, through its handle.
    Result<std::uint64_t> Size() const;
    // The length it had when it was opened.
    std::uint64_t OpenedSize() const { return openedSize_; }

    // Counts successful openings. A long operation that lets other commands
    // run in between notes it at the start and stops when it changed or the
    // file was closed, so it never writes into a closed or different file.
    std::uint64_t Generation() const { return generation_; }

    // Whether `count` bytes at `offset` lie inside the open file, which still
    // has the size it was opened with; the error names the offset and the
    // file's size. `what` is "read" or "write".
    Status CheckRange(const char* what, std::uint64_t offset, std::size_t count) const;

private:
    os::Handle handle_ = os::NoHandle;
    bool readOnly_ = false;
    std::string path_;
    std::uint64_t openedSize_ = 0;
    std::uint64_t generation_ = 0;
    int lockCount_ = 0;
};

// The writer's lock for one save, one maximize run or one command: taken by
// Acquire, given back when it goes out of scope, unless the file was closed
// or reopened meanwhile (closing already released it).
class WriterLock {
public:
    explicit WriterLock(RomFile& file) : file_(file) {}
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    Status Acquire(std::chrono::milliseconds patience = WriterLockPatience,
                   const std::function<void()>& whileWaiting = {});

private:
    RomFile& file_;
    std::uint64_t generation_ = 0;
    bool held_ = false;
};

}  // namespace thornwake
