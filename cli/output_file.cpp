#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace thornwake::cli {
namespace {

Status CannotWrite(const std::string& path, int error) {
    return Status::Fail(path + ": cannot write: " + std::strerror(error));
}

bool WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errno = written == 0 ? EIO : errno;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

Status ReplaceFile(const std::string& named, const std::string& bytes) {
    std::string path = named;
    std::error_code error;
    const auto type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::fifo || type == std::filesystem::file_type::character ||
        type == std::filesystem::file_type::block) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && WriteAll(fd, bytes);
        const int reason = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        return written ? Status::Ok() : CannotWrite(path, reason);
    }
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
        path = std::filesystem::weakly_canonical(path, error).string();
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return CannotWrite(named, errno);
    }
    struct stat old {};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask);
    int reason = 0;
    if (::fchmod(fd, mode) != 0 || !WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        reason = errno;
    }
    if (::close(fd) != 0 && reason == 0) {
        reason = errno;
    }
    if (reason == 0 && ::rename(temporary.c_str(), path.c_str()) == 0) {
        return Status::Ok();
    }
    reason = reason != 0 ? reason : errno;
    ::unlink(temporary.c_str());
    return CannotWrite(named, reason);
}

}  // namespace thornwake::cli
