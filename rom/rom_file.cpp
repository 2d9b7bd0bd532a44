#include "rom_file.h"

#include <cstdio>
#include <string>
#include <thread>
#include <utility>

namespace thornwake {

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

SizeCheck CheckROMSize(std::uint64_t length) {
    if (length == HeaderedROMSize || length > ROMSizeLimit) return SizeCheck::Refused;
    return SizeCheck::Accepted;
}

RomFile::~RomFile() { Close(); }

Status RomFile::Open(const std::string& path, OpenMode mode) {
    if (IsOpen()) return Status::Fail("Another ROM image is still open.");
    if (path.empty()) return Status::Fail("Cannot open the ROM image: no file name was given.");
    const std::string notRegular = path + " is not a regular file.";
    // A folder, device, FIFO or socket is refused before it is even opened
    // (opening some devices does something); the check of the handle below
    // catches a file swapped in between.
    if (const auto named = os::InfoAt(path); named && !named.value().regular) return Status::Fail(notRegular);
    const auto opened =
        os::OpenExisting(path, mode == OpenMode::ReadOnly ? os::Access::ReadOnly : os::Access::ReadWrite);
    if (!opened) return Status::Fail("Cannot open " + Quoted(path) + ": " + opened.message() + ".");
    const auto held = os::InfoOf(opened.value());
    if (!held || !held.value().regular) {
        os::Close(opened.value());
        return held ? Status::Fail(notRegular)
                    : Status::Fail("Cannot open " + Quoted(path) + ": " + held.message() + ".");
    }
    handle_ = opened.value();
    readOnly_ = mode == OpenMode::ReadOnly;
    path_ = path;
    openedSize_ = held.value().size;
    lockCount_ = 0;
    ++generation_;
    return Status::Ok();
}

Result<std::uint64_t> RomFile::Size() const {
    if (!IsOpen()) return Status::Fail("No ROM image is open.");
    const auto held = os::InfoOf(handle_);
    if (!held) return Status::Fail("Cannot measure " + Quoted(path_) + ": " + held.message() + ".");
    return held.value().size;
}

Result<SizeCheck> RomFile::LoadROMFileSize(const std::string& path) const {
    // Measure through the handle when it is the file just opened, so a file
    // swapped under the same name cannot slip past the check.
    const auto measured = (IsOpen() && path == path_) ? os::InfoOf(handle_) : os::InfoAt(path);
    if (!measured) return Status::Fail("Cannot measure " + Quoted(path) + ": " + measured.message() + ".");
    return CheckROMSize(measured.value().size);
}

Status RomFile::CheckRange(const char* what, std::uint64_t offset, std::size_t count) const {
    if (!IsOpen()) return Status::Fail(std::string("Cannot ") + what + ": no ROM image is open.");
    const Result<std::uint64_t> measured = Size();
    if (!measured) return measured.status();
    const std::uint64_t size = measured.value();
    if (size != openedSize_) {
        return Status::Fail(path_ + " changed size since it was opened (" + std::to_string(openedSize_) +
                            " bytes then, " + std::to_string(size) + " now). Open it again.");
    }
    if (offset > size || count > size - offset) {
        return Status::Fail(std::string("Cannot ") + what + " " + std::to_string(count) + " byte(s) at offset " +
                            Hex(offset) + ": the file " + Quoted(path_) + " is only " + std::to_string(size) +
                            " bytes long.");
    }
    return Status::Ok();
}

Result<std::vector<std::uint8_t>> RomFile::ReadAt(std::uint64_t offset, std::size_t count) const {
    if (Status range = CheckRange("read", offset, count); !range) return range;
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t done = 0; done < count;) {
        const auto got = os::ReadAt(handle_, offset + done, bytes.data() + done, count - done);
        if (!got) return Status::Fail("Cannot read " + Quoted(path_) + ": " + got.message() + ".");
        if (got.value() == 0) {
            return Status::Fail("Cannot read " + Quoted(path_) + ": the file ended before the bytes asked for.");
        }
        done += got.value();
    }
    return bytes;
}

Status RomFile::WriteAt(std::uint64_t offset, const std::vector<std::uint8_t>& bytes, std::size_t* bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    if (IsOpen() && readOnly_) {
        return Status::Fail("Cannot write " + Quoted(path_) + ": it was opened for reading only.");
    }
    if (Status range = CheckRange("write", offset, bytes.size()); !range) return range;
    if (Status same = CheckStillAtPath(); !same) return same;
    for (std::size_t done = 0; done < bytes.size();) {
        const auto put = os::WriteAt(handle_, offset + done, bytes.data() + done, bytes.size() - done);
        if (!put) return Status::Fail("Cannot write " + Quoted(path_) + ": " + put.message() + ".");
        if (put.value() == 0) return Status::Fail("Cannot write " + Quoted(path_) + ": nothing was written.");
        done += put.value();
        if (bytesWritten) *bytesWritten = done;
    }
    return Status::Ok();
}

Status RomFile::Flush() {
    if (!IsOpen()) return Status::Fail("Cannot save: no ROM image is open.");
    if (readOnly_) return Status::Fail("Cannot write " + Quoted(path_) + ": it was opened for reading only.");
    if (Status flushed = os::Flush(handle_); !flushed) {
        return Status::Fail("Cannot flush " + Quoted(path_) + " to disk: " + flushed.message() + ".");
    }
    return Status::Ok();
}

Status RomFile::CheckStillAtPath() const {
    if (!IsOpen()) return Status::Fail("No ROM image is open.");
    const auto held = os::InfoOf(handle_);
    const auto named = os::InfoAt(path_);
    if (!held || !named || held.value().links == 0 || held.value().volume != named.value().volume ||
        held.value().index != named.value().index) {
        return Status::Fail(path_ + " was moved, replaced or deleted since it was opened. Open it again.");
    }
    return Status::Ok();
}

Status RomFile::CheckUnchanged() const {
    if (Status same = CheckStillAtPath(); !same) return same;
    return CheckRange("write", 0, 0);
}

Status RomFile::LockForWriting(std::chrono::milliseconds patience, const std::function<void()>& whileWaiting) {
    if (!IsOpen()) return Status::Fail("No ROM image is open.");
    if (lockCount_ == 0) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (bool waited = false;;) {
            const Result<bool> taken = os::TryLock(handle_);
            if (!taken) return Status::Fail("Cannot lock " + Quoted(path_) + ": " + taken.message() + ".");
            if (taken.value()) break;
            if (std::chrono::steady_clock::now() >= deadline) {
                return Status::Fail(path_ + " is being changed by another program.");
            }
            if (!std::exchange(waited, true) && whileWaiting) whileWaiting();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ++lockCount_;
    if (Status same = CheckUnchanged(); !same) {
        Unlock();
        return same;
    }
    return Status::Ok();
}

void RomFile::Unlock() {
    if (IsOpen() && lockCount_ > 0 && --lockCount_ == 0) os::Unlock(handle_);
}

void RomFile::Close() {
    if (!IsOpen()) return;
    os::Close(handle_);  // the data already reached the system; a close error changes nothing
    handle_ = os::NoHandle;
    readOnly_ = false;
    lockCount_ = 0;
}

WriterLock::~WriterLock() {
    if (held_ && file_.IsOpen() && file_.Generation() == generation_) file_.Unlock();
}

Status WriterLock::Acquire(std::chrono::milliseconds patience, const std::function<void()>& whileWaiting) {
    Status locked = file_.LockForWriting(patience, whileWaiting);
    held_ = locked.ok();
    generation_ = file_.Generation();
    return locked;
}

}  // namespace thornwake
