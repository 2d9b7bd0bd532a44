#pragma once
// The few calls of the operating system an image file needs, behind one
// interface: os_file_posix.cpp or os_file_win32.cpp, chosen by CMake. Paths
// are UTF-8 on Windows and the system's own bytes elsewhere. A failure's
// message is the system's own reason, as a user reads it ("No such file or
// directory"); the callers put the path and what they tried in front.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace thornwake::os {

// A file descriptor, or a Windows HANDLE.
using Handle = std::intptr_t;
constexpr Handle NoHandle = -1;

struct FileInfo {
    bool regular = false;  // a plain file, not a folder, device, FIFO or socket
    std::uint64_t size = 0;
    std::uint64_t volume = 0;  // device, or volume serial number
    std::uint64_t index = 0;   // inode, or file index
    std::uint64_t links = 0;   // 0 once the file was deleted
};

enum class Access { ReadWrite, ReadOnly };

// Opens the existing file at `path` (links followed); never creates one, never
// blocks on a FIFO. Anything but a regular file may open; the caller checks.
Result<Handle> OpenExisting(const std::string& path, Access access);
void Close(Handle handle);

Result<FileInfo> InfoOf(Handle handle);
Result<FileInfo> InfoAt(const std::string& path);

// One positioned transfer: how many bytes moved, which may be fewer than
// asked (0 at the end of the file); an interrupted call is retried.
Result<std::size_t> ReadAt(Handle handle, std::uint64_t offset, void* bytes, std::size_t count);
Result<std::size_t> WriteAt(Handle handle, std::uint64_t offset, const void* bytes, std::size_t count);

// What was written reaches the storage device.
Status Flush(Handle handle);

// The exclusive advisory lock that writers of an image share: true when it is
// taken, false when another holder has it. Released by Unlock or Close.
Result<bool> TryLock(Handle handle);
void Unlock(Handle handle);

// The program's arguments: in UTF-8 on Windows, read from the wide command
// line; as given elsewhere.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard output and error pass every byte as it is: on Windows "\n" stays
// one byte instead of becoming "\r\n".
void UseBinaryStandardStreams();

}  // namespace thornwake::os
