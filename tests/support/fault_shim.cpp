// A failing disk, a killed process, another program moving the file: loaded
// with LD_PRELOAD in front of the C library, it does what THORNWAKE_FAULT
// says at the Nth call (from 1) of pwrite or fsync, then lets the call go on:
//   "pwrite 100 kill"                 killed before its 100th pwrite
//   "fsync 1 EIO"                     the first fsync fails with EIO (or ENOSPC)
//   "pwrite 1 short3"                 writes 3 bytes, then the next pwrite fails (ENOSPC)
//   "fsync 1 rename game.sfc moved"   renames a file, then the call goes on

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Fault {
    std::string call, action, from, to;
    int at = 0;
};

const Fault& Wanted() {
    static const Fault fault = [] {
        Fault f;
        char call[16] = "", action[16] = "", from[256] = "", to[256] = "";
        const char* text = std::getenv("THORNWAKE_FAULT");
        if (text) std::sscanf(text, "%15s %d %15s %255s %255s", call, &f.at, action, from, to);
        f.call = call;
        f.action = action;
        f.from = from;
        f.to = to;
        return f;
    }();
    return fault;
}

// What the call must do: 0 go on, -1 fail with errno set, n > 0 write only n bytes.
long Strike(const char* call) {
    static int pwrites = 0;
    static int fsyncs = 0;
    static bool failNext = false;
    const Fault& fault = Wanted();
    const int count = std::strcmp(call, "pwrite") == 0 ? ++pwrites : ++fsyncs;
    if (std::strcmp(call, "pwrite") == 0 && failNext) {
        errno = ENOSPC;
        return -1;
    }
    if (fault.call != call || fault.at != count) return 0;
    if (fault.action == "kill") ::raise(SIGKILL);
    if (fault.action == "rename") std::rename(fault.from.c_str(), fault.to.c_str());
    if (fault.action == "EIO" || fault.action == "ENOSPC") {
        errno = fault.action == "EIO" ? EIO : ENOSPC;
        return -1;
    }
    if (fault.action.rfind("short", 0) == 0) {
        failNext = true;
        return std::atol(fault.action.c_str() + 5);
    }
    return 0;
}

}  // namespace

extern "C" ssize_t pwrite(int fd, const void* bytes, size_t count, off_t offset) {
    static auto real = reinterpret_cast<ssize_t (*)(int, const void*, size_t, off_t)>(dlsym(RTLD_NEXT, "pwrite"));
    const long strike = Strike("pwrite");
    if (strike < 0) return -1;
    return real(fd, bytes, strike > 0 ? size_t(strike) : count, offset);
}

extern "C" int fsync(int fd) {
    static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    if (Strike("fsync") < 0) return -1;
    return real(fd);
}
