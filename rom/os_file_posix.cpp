#include "os_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace thornwake::os {

namespace {

Status Failure(int error) { return Status::Fail(std::strerror(error)); }

FileInfo InfoFrom(const struct stat& info) {
    FileInfo made;
    made.regular = S_ISREG(info.st_mode);
    made.size = static_cast<std::uint64_t>(info.st_size);
    made.volume = static_cast<std::uint64_t>(info.st_dev);
    made.index = static_cast<std::uint64_t>(info.st_ino);
    made.links = static_cast<std::uint64_t>(info.st_nlink);
    return made;
}

}  // namespace

Result<Handle> OpenExisting(const std::string& path, Access access) {
    // Non-blocking, so that a FIFO cannot hang the open; never O_CREAT.
    const int mode = access == Access::ReadOnly ? O_RDONLY : O_RDWR;
    int fd;
    do {
        fd = ::open(path.c_str(), mode | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return Failure(errno);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return Handle{fd};
}

void Close(Handle handle) { ::close(static_cast<int>(handle)); }

Result<FileInfo> InfoOf(Handle handle) {
    struct stat info {};
    if (::fstat(static_cast<int>(handle), &info) != 0) return Failure(errno);
    return InfoFrom(info);
}

Result<FileInfo> InfoAt(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return Failure(errno);
    return InfoFrom(info);
}

Result<std::size_t> ReadAt(Handle handle, std::uint64_t offset, void* bytes, std::size_t count) {
    for (;;) {
        const ssize_t got = ::pread(static_cast<int>(handle), bytes, count, static_cast<off_t>(offset));
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return Failure(errno);
    }
}

Result<std::size_t> WriteAt(Handle handle, std::uint64_t offset, const void* bytes, std::size_t count) {
    for (;;) {
        const ssize_t put = ::pwrite(static_cast<int>(handle), bytes, count, static_cast<off_t>(offset));
        if (put >= 0) return static_cast<std::size_t>(put);
        if (errno != EINTR) return Failure(errno);
    }
}

Status Flush(Handle handle) {
    while (::fsync(static_cast<int>(handle)) != 0) {
        if (errno != EINTR) return Failure(errno);
    }
    return Status::Ok();
}

Result<bool> TryLock(Handle handle) {
    for (;;) {
        if (::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) return Failure(errno);
    }
}

void Unlock(Handle handle) { ::flock(static_cast<int>(handle), LOCK_UN); }

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

void UseBinaryStandardStreams() {}

}  // namespace thornwake::os
