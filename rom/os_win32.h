#pragma once
// Windows only: the edge where the program's UTF-8 text meets the system's
// UTF-16, for os_file_win32.cpp and the other Windows files of the program.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <string>

namespace thornwake::os {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// The system's reason for `error` as a user reads it, in UTF-8, without the
// final period ("Access is denied").
std::string SystemMessage(DWORD error);

// How many of `count` bytes one ReadFile or WriteFile call is given: at most
// 1 GiB, well inside a DWORD.
inline DWORD CallSize(std::size_t count) { return static_cast<DWORD>(std::min<std::size_t>(count, 0x40000000)); }

}  // namespace thornwake::os
