#include "output_file.h"

#include "os_win32.h"

#include <cstdio>
#include <iterator>

#undef ReplaceFile  // windows.h names ReplaceFileW so; this file defines the program's own

namespace thornwake::cli {
namespace {

using os::Wide;

Status CannotWrite(const std::string& path, DWORD error) {
    return Status::Fail(path + ": cannot write: " + os::SystemMessage(error));
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD given = os::CallSize(bytes.size() - done);
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, given, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

// A device or pipe ("NUL", "\\.\pipe\x", a FIFO under Wine) cannot be
// replaced; it is written in place. A missing file is none of these.
bool IsDevice(const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool device = ::GetFileType(file) != FILE_TYPE_DISK;
    ::CloseHandle(file);
    return device;
}

// A symbolic link is followed: the file it names is replaced, the link stays.
// Asked of every existing file, since under Wine a link of the host system
// looks like the file it names.
std::wstring Followed(const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return path;
    }
    std::wstring target(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0);
    if (length >= target.size()) {
        target.resize(length);
        length = ::GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0);
    }
    ::CloseHandle(file);
    if (length == 0 || length >= target.size()) {
        return path;
    }
    target.resize(length);
    return target;
}

// A new file beside `path`, that no one else has: `path` and a number.
HANDLE CreateTemporary(const std::wstring& path, std::wstring& temporary) {
    const unsigned long long seed =
        (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount64();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[24];
        std::swprintf(suffix, std::size(suffix), L".%06llx", (seed + attempt * 7919) & 0xFFFFFF);
        temporary = path + suffix;
        const HANDLE file =
            ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

Status ReplaceFile(const std::string& named, const std::string& bytes) {
    const std::wstring wide = Wide(named);
    if (IsDevice(wide)) {
        const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, bytes);
        const DWORD reason = ::GetLastError();
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
        }
        return written ? Status::Ok() : CannotWrite(named, reason);
    }
    const std::wstring path = Followed(wide);
    std::wstring temporary;
    const HANDLE file = CreateTemporary(path, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        return CannotWrite(named, ::GetLastError());
    }
    DWORD reason = 0;
    if (!WriteAll(file, bytes) || !::FlushFileBuffers(file)) {
        reason = ::GetLastError();
    }
    if (!::CloseHandle(file) && reason == 0) {
        reason = ::GetLastError();
    }
    // One rename that replaces the old file, on the disk before it returns.
    if (reason == 0 &&
        ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Status::Ok();
    }
    reason = reason != 0 ? reason : ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    return CannotWrite(named, reason);
}

}  // namespace thornwake::cli
