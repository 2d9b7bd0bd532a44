#include "image_access.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "os_file.h"

namespace thornwake::cli {
namespace {

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string TooLargeMessage(std::uint64_t size) {
    return "This ROM is too large: it has " + std::to_string(size) + " bytes, " + std::to_string(size - ROMSizeLimit) +
           " more than the " + std::to_string(ROMSizeLimit) + " this program takes.";
}

}  // namespace

std::string RecordName(const RecordId& id) {
    return std::string(CharacterName(id.character)) + " level " + std::to_string(id.levelIndex + 1);
}

std::vector<RecordId> RecordsOf(CharacterId character) {
    std::vector<RecordId> records;
    for (int i = 0; i < LevelCount; ++i) {
        records.push_back({character, i});
    }
    return records;
}

std::vector<RecordId> AllRecords() {
    std::vector<RecordId> records;
    for (CharacterId character : AllCharacters) {
        const auto some = RecordsOf(character);
        records.insert(records.end(), some.begin(), some.end());
    }
    return records;
}

Status Image::Fail(const std::string& message) const { return Status::Fail(path_ + ": " + message); }

Status Image::Open(const std::string& path, OpenMode mode, std::chrono::milliseconds lockPatience) {
    path_ = path;
    // The system's own reason: a link loop or a folder one may not enter is
    // no missing file.
    const Result<os::FileInfo> named = os::InfoAt(path);
    if (!named) {
        return Fail(named.message());
    }
    // RomFile refuses the others too, but opening a folder for writing would
    // fail with the system's reason first.
    if (!named.value().regular) {
        return Status::Fail(path + " is not a regular file.");
    }
    if (Status opened = file_.Open(path, mode); !opened) {
        return opened;
    }
    const Result<SizeCheck> verdict = file_.LoadROMFileSize(path);
    const Result<std::uint64_t> size = file_.Size();
    if (!verdict || !size) {
        return verdict ? size.status() : verdict.status();
    }
    size_ = size.value();
    if (verdict.value() == SizeCheck::Refused) {
        return Fail(size_ == HeaderedROMSize ? RefusedROMMessage : TooLargeMessage(size_));
    }
    return mode == OpenMode::ReadWrite ? lock_.Acquire(lockPatience) : Status::Ok();
}

Status Image::CheckInside(const std::vector<RecordId>& records) const {
    const RecordId* first = nullptr;  // the missing record nearest the end of the image
    for (const RecordId& id : records) {
        const std::uint64_t offset = RecordOffset(id.character, id.levelIndex);
        if (offset + LevelRecordSize > size_ &&
            (!first || offset < RecordOffset(first->character, first->levelIndex))) {
            first = &id;
        }
    }
    if (!first) {
        return Status::Ok();
    }
    const std::uint64_t offset = RecordOffset(first->character, first->levelIndex);
    return Fail(RecordName(*first) + " (bytes " + Hex(offset) + " to " + Hex(offset + LevelRecordSize - 1) +
                ") lies beyond the end of the image, which has " + std::to_string(size_) + " bytes");
}

Result<std::vector<std::uint8_t>> Image::ReadRange(std::uint64_t offset, std::size_t count) const {
    return file_.ReadAt(offset, count);
}

Result<RecordBytes> Image::ReadRecordBytes(const RecordId& id) const {
    const Result<std::vector<std::uint8_t>> bytes =
        file_.ReadAt(RecordOffset(id.character, id.levelIndex), LevelRecordSize);
    if (!bytes) {
        return Status::Fail(RecordName(id) + ": " + bytes.message());
    }
    RecordBytes record{};
    std::copy(bytes.value().begin(), bytes.value().end(), record.begin());
    return record;
}

Result<LevelRecord> Image::ReadRecord(const RecordId& id) const {
    Result<LevelRecord> record = ReadLevelRecord(file_, id.character, id.levelIndex);
    if (!record) {
        return Status::Fail(RecordName(id) + ": " + record.message());
    }
    return record;
}

std::string DescribeChanges(const RecordBytes& before, const RecordBytes& after) {
    const LevelRecord storedBefore = DecodeLevelRecord(before);
    const LevelRecord storedAfter = DecodeLevelRecord(after);
    std::string text;
    for (const StatFieldInfo& info : StatFields) {
        const int from = GetField(storedBefore, info.field);
        const int to = GetField(storedAfter, info.field);
        if (from != to) {
            if (!text.empty()) {
                text += ", ";
            }
            text += std::string(info.name) + " " + std::to_string(from) + " -> " + std::to_string(to);
        }
    }
    return text;
}

Status CheckNotSameFile(const std::string& output, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        std::error_code error;
        if (std::filesystem::equivalent(std::filesystem::u8path(output), std::filesystem::u8path(input), error)) {
            return Status::Fail(output + ": is " + input + " itself; choose another output file");
        }
    }
    return Status::Ok();
}

}  // namespace thornwake::cli
