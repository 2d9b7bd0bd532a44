#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

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
    struct stat old {};
    const bool exists = ::stat(named.c_str(), &old) == 0;
    const int missing = errno;
    struct stat link {};
    if (!exists && missing != ENOENT) {
        return CannotWrite(named, missing);  // a link loop, a folder one may not enter, a name too long
    }
    if (!exists && ::lstat(named.c_str(), &link) == 0) {
        // Writing would create a file wherever the link points, perhaps far from here.
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(named.c_str(), target.data(), target.size());
        target.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return Status::Fail(named + ": cannot write: a link to " + target + ", which does not exist");
    }
    if (exists && S_ISDIR(old.st_mode)) {
        return CannotWrite(named, EISDIR);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        const int fd = ::open(named.c_str(), O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && WriteAll(fd, bytes);
        const int reason = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        return written ? Status::Ok() : CannotWrite(named, reason);
    }
    // Refused where a shell's redirect would be: a read-only file, or for the
    // superuser an immutable one.
    if (exists && ::faccessat(AT_FDCWD, named.c_str(), W_OK, AT_EACCESS) != 0) {
        return CannotWrite(named, errno);
    }
    std::string path = named;
    if (exists && ::lstat(named.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* resolved = ::realpath(named.c_str(), nullptr);
        if (!resolved) {
            return CannotWrite(named, errno);
        }
        path = resolved;
        std::free(resolved);
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return CannotWrite(named, errno);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int reason = 0;
    // The owner and group stay, as when the file is written into. Only the
    // superuser can give a file away; anyone else's replacement is theirs.
    if (exists && ::fchown(fd, old.st_uid, old.st_gid) != 0 && (errno != EPERM || ::geteuid() == 0)) {
        reason = errno;
    }
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~mask);
    if (reason == 0 && (::fchmod(fd, mode) != 0 || !WriteAll(fd, bytes) || ::fsync(fd) != 0)) {
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
