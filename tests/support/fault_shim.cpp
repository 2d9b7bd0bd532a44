// A failing disk, a killed process, another program moving the file: loaded
// with LD_PRELOAD in front of the C library, it does what THORNWAKE_FAULT
// says at the Nth call (from 1) of pwrite or fsync, then lets the call go on:
//   "pwrite 100 kill"                 killed before its 100th pwrite
//   "fsync 1 EIO"                     the first fsync fails with EIO (or ENOSPC)
//   "pwrite 1 short3"                 writes 3 bytes, then the next pwrite fails (ENOSPC)
//   "fsync 1 rename game.sfc moved"   renames a file, then the call goes on

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

// What the call must do: 0 go on, -1 fail with errno set, n > 0 write only n bytes.
long Strike(const std::string& call) {
    static std::string wanted, action, from, to;
    static int at = 0;
    static int count = 0;
    static bool failNext = false;
    const char* fault = std::getenv("THORNWAKE_FAULT");
    if (fault && wanted.empty()) std::istringstream(fault) >> wanted >> at >> action >> from >> to;
    if (call == "pwrite" && failNext) {
        errno = ENOSPC;
        return -1;
    }
    if (call != wanted || ++count != at) return 0;
    if (action == "kill") ::raise(SIGKILL);
    if (action == "rename") std::rename(from.c_str(), to.c_str());
    if (action == "EIO" || action == "ENOSPC") {
        errno = action == "EIO" ? EIO : ENOSPC;
        return -1;
    }
    failNext = action.rfind("short", 0) == 0;
    return failNext ? std::atol(action.c_str() + 5) : 0;
}

}  // namespace

extern "C" ssize_t pwrite(int fd, const void* bytes, size_t count, off_t offset) {
    const long strike = Strike("pwrite");
    if (strike < 0) return -1;
    return ::syscall(SYS_pwrite64, fd, bytes, strike > 0 ? size_t(strike) : count, offset);
}

extern "C" int fsync(int fd) {
    if (Strike("fsync") < 0) return -1;
    return int(::syscall(SYS_fsync, fd));
}
