#pragma once
// A failing disk, in front of the system's calls: the write after the next
// `writesBeforeFailure` ones fails once, after writing only its first
// `shortWrite` bytes when that is set; every flush fails while `flushFails`.
// Include it in one file of a test program.

#include <utility>

#include "system_calls.h"

inline int writesBeforeFailure = -1;
inline int shortWrite = 0;
inline bool flushFails = false;

bool InterceptCall(char kind, std::size_t& count) {
    if (kind == 's' && flushFails) {
        errno = EIO;
        return true;
    }
    if (kind != 'w' || writesBeforeFailure < 0 || writesBeforeFailure-- > 0) return false;
    if (shortWrite > 0) {
        writesBeforeFailure = 0;
        count = std::size_t(std::exchange(shortWrite, 0));
        return false;
    }
    errno = ENOSPC;
    return true;
}
