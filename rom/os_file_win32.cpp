#include "os_file.h"
#include "os_win32.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

namespace thornwake::os {

namespace {

// The writer's lock is a byte-range lock, and Windows enforces those against
// every reader and writer of the range: it covers one byte far past any
// image, so that other programs can still read and write the whole file.
constexpr DWORD LockOffsetLow = 0xFFFFFFFE;
constexpr DWORD LockOffsetHigh = 0x7FFFFFFF;

HANDLE Native(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

Status LastFailure() { return Status::Fail(SystemMessage(::GetLastError())); }

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// "\\.\COM1", "\\.\pipe\x": what the path names is a device, not a file.
bool NamesDevice(const std::wstring& path) {
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return false;
    std::wstring full(length, L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), length, full.data(), nullptr));
    return full.rfind(L"\\\\.\\", 0) == 0;
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr,
                          nullptr);
    return utf8;
}

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    ::LocalFree(text);
    // Callers end the sentence themselves.
    while (!message.empty() &&
           (message.back() == L'.' || message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
        message.pop_back();
    }
    if (message.empty()) {
        char code[32];
        std::snprintf(code, sizeof code, "Windows error %lu", static_cast<unsigned long>(error));
        return code;
    }
    return Utf8(message);
}

Result<Handle> OpenExisting(const std::string& path, Access access) {
    const DWORD rights = access == Access::ReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    // Others may read, write, rename and delete the file meanwhile, as on
    // other systems; RomFile notices a rename or a deletion before it writes.
    const HANDLE opened =
        ::CreateFileW(Wide(path).c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return LastFailure();
    return reinterpret_cast<Handle>(opened);
}

void Close(Handle handle) { ::CloseHandle(Native(handle)); }

Result<FileInfo> InfoOf(Handle handle) {
    FileInfo made;
    if (::GetFileType(Native(handle)) != FILE_TYPE_DISK) return made;  // a device or a pipe
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_STANDARD_INFO standard{};
    if (!::GetFileInformationByHandle(Native(handle), &info) ||
        !::GetFileInformationByHandleEx(Native(handle), FileStandardInfo, &standard, sizeof standard)) {
        return LastFailure();
    }
    made.regular = !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    made.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    made.volume = info.dwVolumeSerialNumber;
    made.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    made.links = standard.DeletePending ? 0 : info.nNumberOfLinks;
    return made;
}

Result<FileInfo> InfoAt(const std::string& path) {
    const std::wstring wide = Wide(path);
    if (NamesDevice(wide)) return FileInfo{};  // never opened: opening some devices does something
    // No access asked for: only the file's attributes are read.
    const HANDLE opened = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return LastFailure();
    Result<FileInfo> info = InfoOf(reinterpret_cast<Handle>(opened));
    ::CloseHandle(opened);
    return info;
}

Result<std::size_t> ReadAt(Handle handle, std::uint64_t offset, void* bytes, std::size_t count) {
    OVERLAPPED at = At(offset);
    DWORD got = 0;
    const DWORD asked = CallSize(count);
    if (::ReadFile(Native(handle), bytes, asked, &got, &at)) return std::size_t{got};
    if (::GetLastError() == ERROR_HANDLE_EOF) return std::size_t{0};
    return LastFailure();
}

Result<std::size_t> WriteAt(Handle handle, std::uint64_t offset, const void* bytes, std::size_t count) {
    OVERLAPPED at = At(offset);
    DWORD put = 0;
    const DWORD given = CallSize(count);
    if (::WriteFile(Native(handle), bytes, given, &put, &at)) return std::size_t{put};
    return LastFailure();
}

Status Flush(Handle handle) {
    if (!::FlushFileBuffers(Native(handle))) return LastFailure();
    return Status::Ok();
}

Result<bool> TryLock(Handle handle) {
    OVERLAPPED at{};
    at.Offset = LockOffsetLow;
    at.OffsetHigh = LockOffsetHigh;
    if (::LockFileEx(Native(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return true;
    if (::GetLastError() == ERROR_LOCK_VIOLATION) return false;
    return LastFailure();
}

void Unlock(Handle handle) {
    OVERLAPPED at{};
    at.Offset = LockOffsetLow;
    at.OffsetHigh = LockOffsetHigh;
    ::UnlockFileEx(Native(handle), 0, 1, 0, &at);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    // The narrow argv holds the ANSI code page's idea of the arguments, which
    // loses every letter outside it: take the wide command line instead.
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void UseBinaryStandardStreams() {
    // Text mode would write every "\n" of an export as "\r\n".
    for (std::FILE* stream : {stdout, stderr}) {
        std::fflush(stream);
        if (::_fileno(stream) >= 0) ::_setmode(::_fileno(stream), _O_BINARY);  // none without a console
    }
}

}  // namespace thornwake::os
