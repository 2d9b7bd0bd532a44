#include "rom_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>
#include <thread>

namespace thornwake {

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

SizeCheck CheckROMSize(std::uint64_t length) {
    if (length == HeaderedROMSize || length > ROMSizeLimit) return SizeCheck::Refused;
    return SizeCheck::Accepted;
}

RomFile::~RomFile() { Close(); }

Status RomFile::Open(const std::string& path, OpenMode mode) {
    if (IsOpen()) return Status::Fail("Another ROM image is still open.");
    if (path.empty()) return Status::Fail("Cannot open the ROM image: no file name was given.");
    const std::string notRegular = path + " is not a regular file.";
    // A folder, device, FIFO or socket is refused before it is even opened
    // (opening some devices does something); the check of the handle below
    // catches a file swapped in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return Status::Fail(notRegular);
    // Non-blocking, so that a FIFO cannot hang the open; never O_CREAT.
    const int access = mode == OpenMode::ReadOnly ? O_RDONLY : O_RDWR;
    int fd;
    do {
        fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Status::Fail("Cannot open " + Quoted(path) + ": " + SystemReason(errno) + ".");
    }
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return Status::Fail("Cannot open " + Quoted(path) + ": " + SystemReason(error) + ".");
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Status::Fail(notRegular);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    readOnly_ = mode == OpenMode::ReadOnly;
    path_ = path;
    ++generation_;
    return Status::Ok();
}

Result<std::uint64_t> RomFile::Size() const {
    if (!IsOpen()) return Status::Fail("No ROM image is open.");
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        return Status::Fail("Cannot measure " + Quoted(path_) + ": " + SystemReason(errno) + ".");
    }
    return static_cast<std::uint64_t>(info.st_size);
}

Result<SizeCheck> RomFile::LoadROMFileSize(const std::string& path) const {
    struct stat info {};
    // Measure through the handle when it is the file just opened, so a file
    // swapped under the same name cannot slip past the check.
    const bool measured = (IsOpen() && path == path_) ? ::fstat(fd_, &info) == 0
                                                      : ::stat(path.c_str(), &info) == 0;
    if (!measured) {
        return Status::Fail("Cannot measure " + Quoted(path) + ": " + SystemReason(errno) + ".");
    }
    return CheckROMSize(static_cast<std::uint64_t>(info.st_size));
}

Status RomFile::CheckRange(const char* what, std::uint64_t offset, std::size_t count) const {
    if (!IsOpen()) return Status::Fail(std::string("Cannot ") + what + ": no ROM image is open.");
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        return Status::Fail(std::string("Cannot ") + what + " " + Quoted(path_) + ": " +
                            SystemReason(errno) + ".");
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (offset > size || count > size - offset) {
        return Status::Fail(std::string("Cannot ") + what + " " + std::to_string(count) +
                            " byte(s) at offset " + Hex(offset) + ": the file " + Quoted(path_) + " is only " +
                            std::to_string(size) + " bytes long.");
    }
    return Status::Ok();
}

Result<std::vector<std::uint8_t>> RomFile::ReadAt(std::uint64_t offset, std::size_t count) const {
    if (Status range = CheckRange("read", offset, count); !range) return range;
    std::vector<std::uint8_t> bytes(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, bytes.data() + done, count - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return Status::Fail("Cannot read " + Quoted(path_) + ": " + SystemReason(errno) + ".");
        }
        if (got == 0) {
            return Status::Fail("Cannot read " + Quoted(path_) +
                                ": the file ended before the bytes asked for.");
        }
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

Status RomFile::WriteAt(std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
    return WriteInPieces(offset, bytes, {bytes.size()});
}

Status RomFile::WriteInPieces(std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                              const std::vector<std::size_t>& widths, std::size_t* piecesWritten) {
    if (piecesWritten) *piecesWritten = 0;
    if (IsOpen() && readOnly_) {
        return Status::Fail("Cannot write " + Quoted(path_) + ": it was opened for reading only.");
    }
    if (std::accumulate(widths.begin(), widths.end(), std::size_t{0}) != bytes.size()) {
        return Status::Fail("Cannot write " + Quoted(path_) + ": the pieces do not add up to the bytes given.");
    }
    if (Status range = CheckRange("write", offset, bytes.size()); !range) return range;
    std::size_t done = 0;
    for (std::size_t width : widths) {
        if (Status s = WriteUnchecked(offset + done, bytes.data() + done, width); !s) return s;
        done += width;
        if (piecesWritten) ++*piecesWritten;
    }
    return Status::Ok();
}

Status RomFile::WriteUnchecked(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put =
            ::pwrite(fd_, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return Status::Fail("Cannot write " + Quoted(path_) + ": " + SystemReason(errno) + ".");
        }
        if (put == 0) {
            return Status::Fail("Cannot write " + Quoted(path_) + ": nothing was written.");
        }
        done += static_cast<std::size_t>(put);
    }
    return Status::Ok();
}

Status RomFile::Flush() {
    if (!IsOpen()) return Status::Fail("Cannot save: no ROM image is open.");
    if (readOnly_) return Status::Fail("Cannot write " + Quoted(path_) + ": it was opened for reading only.");
    while (::fsync(fd_) != 0) {
        if (errno == EINTR) continue;
        return Status::Fail("Cannot flush " + Quoted(path_) + " to disk: " + SystemReason(errno) +
                            ".");
    }
    return Status::Ok();
}

Status RomFile::CheckStillAtPath() const {
    if (!IsOpen()) return Status::Fail("No ROM image is open.");
    struct stat held {}, named {};
    if (::fstat(fd_, &held) != 0 || ::stat(path_.c_str(), &named) != 0 || held.st_nlink == 0 ||
        held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
        return Status::Fail(path_ + " was moved, replaced or deleted since it was opened. Open it again.");
    }
    return Status::Ok();
}

Status RomFile::LockForWriting(std::chrono::milliseconds patience) {
    if (!IsOpen()) return Status::Fail("No ROM image is open.");
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            return Status::Fail("Cannot lock " + Quoted(path_) + ": " + SystemReason(errno) + ".");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Status::Fail(path_ + " is being changed by another program.");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (Status same = CheckStillAtPath(); !same) {
        Unlock();
        return same;
    }
    return Status::Ok();
}

void RomFile::Unlock() {
    if (IsOpen()) ::flock(fd_, LOCK_UN);
}

void RomFile::Close() {
    if (!IsOpen()) return;
    ::close(fd_);  // the data already reached the system; a close error changes nothing
    fd_ = -1;
    readOnly_ = false;
}

WriterLock::~WriterLock() {
    if (held_ && file_.IsOpen() && file_.Generation() == generation_) file_.Unlock();
}

Status WriterLock::Acquire(std::chrono::milliseconds patience) {
    Status locked = file_.LockForWriting(patience);
    held_ = locked.ok();
    generation_ = file_.Generation();
    return locked;
}

}  // namespace thornwake
