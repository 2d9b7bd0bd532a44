#pragma once
// The test's own check in front of the system's positioned reads and writes
// and its flush, for a failing disk and a record of the calls: on Linux
// pread, pwrite and fsync in front of the C library's, on Windows ReadFile,
// WriteFile and FlushFileBuffers in the program's import table. Include it in
// one file of a test program, which defines InterceptCall.

#include <QTest>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
constexpr bool OnWindows = true;
#else
constexpr bool OnWindows = false;
#endif

// A row that cannot run on Windows says why in its tag, "name (Linux only:
// the reason)"; there the test skips it with that reason.
constexpr const char* DeletedWhileOpen = " (Linux only: Wine does not report a file deleted while it is open)";
inline QString WhyNotHere() {
    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    return OnWindows && tag.contains(" (Linux only: ") ? tag.section(" (Linux only: ", 1).chopped(1) : QString();
}

// A call of `kind` ('r' read, 'w' write, 's' flush) of `count` bytes: true
// fails it with the errno value set; a smaller `count` makes a short one.
bool InterceptCall(char kind, std::size_t& count);

#ifdef _WIN32
#include <windows.h>

// The errno values the tests fail calls with, or expect, as Windows' errors
// and as Wine words them.
struct WindowsError {
    int error;
    DWORD code;
    const char* text;
};
constexpr WindowsError WindowsErrors[] = {{ENOSPC, ERROR_DISK_FULL, "Disk full"},
                                          {EIO, ERROR_IO_DEVICE, "I/O device error"},
                                          {ENOENT, ERROR_FILE_NOT_FOUND, "File not found"}};

// The system's reason for `error` in a message ("No space left on device").
inline QString SystemReason(int error) {
    for (const WindowsError& known : WindowsErrors) {
        if (known.error == error) return QString::fromUtf8(known.text);
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

// No user of Windows passes a read-only attribute, as root passes Linux's
// permissions.
inline int geteuid() { return 1; }

extern "C" decltype(&ReadFile) __imp_ReadFile;
extern "C" decltype(&WriteFile) __imp_WriteFile;
extern "C" decltype(&FlushFileBuffers) __imp_FlushFileBuffers;

namespace system_calls {

const auto realRead = __imp_ReadFile;
const auto realWrite = __imp_WriteFile;
const auto realFlush = __imp_FlushFileBuffers;

BOOL Failed() {
    for (const WindowsError& known : WindowsErrors) {
        if (known.error == errno) ::SetLastError(known.code);
    }
    return FALSE;
}

// ReadFile or WriteFile (`Bytes` void* or const void*) through InterceptCall.
template <auto& real, char kind, typename Bytes>
BOOL WINAPI Transfer(HANDLE file, Bytes bytes, DWORD count, DWORD* done, OVERLAPPED* at) {
    std::size_t wanted = count;
    if (InterceptCall(kind, wanted)) return Failed();
    return real(file, bytes, DWORD(wanted), done, at);
}

BOOL WINAPI Flush(HANDLE file) {
    std::size_t none = 0;
    if (InterceptCall('s', none)) return Failed();
    return realFlush(file);
}

template <typename Call>
void Replace(Call& entry, Call by) {
    DWORD was = 0;
    ::VirtualProtect(&entry, sizeof entry, PAGE_READWRITE, &was);
    entry = by;
}

const bool installed = [] {
    Replace(__imp_ReadFile, &Transfer<realRead, 'r', void*>);
    Replace(__imp_WriteFile, &Transfer<realWrite, 'w', const void*>);
    Replace(__imp_FlushFileBuffers, &Flush);
    return true;
}();

}  // namespace system_calls

#else
#include <sys/syscall.h>
#include <unistd.h>

inline QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    if (InterceptCall('r', count)) return -1;
    return ::syscall(SYS_pread64, fd, buffer, count, offset);
}

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (InterceptCall('w', count)) return -1;
    return ::syscall(SYS_pwrite64, fd, buffer, count, offset);
}

extern "C" int fsync(int fd) {
    std::size_t none = 0;
    if (InterceptCall('s', none)) return -1;
    return int(::syscall(SYS_fsync, fd));
}
#endif
