#include "rom_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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

Status RomFile::Open(const std::string& path) {
    if (IsOpen()) return Status::Fail("Another ROM image is still open.");
    if (path.empty()) return Status::Fail("Cannot open the ROM image: no file name was given.");
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Status::Fail("Cannot open " + Quoted(path) + ": " + SystemReason(errno) + ".");
    }
    fd_ = fd;
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
    // Devices and pipes have no meaningful length; the system decides for them.
    if (!S_ISREG(info.st_mode)) return Status::Ok();
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
    if (Status range = CheckRange("write", offset, bytes.size()); !range) return range;
    return WriteUnchecked(offset, bytes.data(), bytes.size());
}

Status RomFile::WriteInPieces(std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                              const std::vector<std::size_t>& widths) {
    if (Status range = CheckRange("write", offset, bytes.size()); !range) return range;
    std::size_t done = 0;
    for (std::size_t width : widths) {
        if (Status s = WriteUnchecked(offset + done, bytes.data() + done, width); !s) return s;
        done += width;
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
    while (::fsync(fd_) != 0) {
        if (errno == EINTR) continue;
        // A device or pipe that cannot be synced has nothing to flush.
        if (errno == EINVAL || errno == EROFS) break;
        return Status::Fail("Cannot flush " + Quoted(path_) + " to disk: " + SystemReason(errno) +
                            ".");
    }
    return Status::Ok();
}

void RomFile::Close() {
    if (!IsOpen()) return;
    ::close(fd_);  // the data already reached the system; a close error changes nothing
    fd_ = -1;
}

}  // namespace thornwake
