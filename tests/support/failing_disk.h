#pragma once
// A failing disk, in front of the C library's calls: the write after the next
// `writesBeforeFailure` ones fails once, after writing only its first
// `shortWrite` bytes when that is set; every flush fails while `flushFails`.
// Include it in one file of a test program.

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

inline int writesBeforeFailure = -1;
inline int shortWrite = 0;
inline bool flushFails = false;
extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (writesBeforeFailure >= 0 && writesBeforeFailure-- == 0) {
        if (shortWrite > 0) {
            writesBeforeFailure = 0;
            count = size_t(std::exchange(shortWrite, 0));
        } else {
            errno = ENOSPC;
            return -1;
        }
    }
    return ::syscall(SYS_pwrite64, fd, buffer, count, offset);
}
extern "C" int fsync(int fd) { return flushFails ? (errno = EIO, -1) : int(::syscall(SYS_fsync, fd)); }
