#include "record_writes.h"

#include <algorithm>

namespace thornwake {

namespace {

constexpr std::size_t HeroMPByte = 2;

// Every byte the file holds is the one expected or the one to be written:
// overwriting it loses nothing anybody else wrote.
bool HoldsWhatIsReplaced(const RecordWrite& write, const LevelRecordBytes& held) {
    for (std::size_t i = 0; i < held.size(); ++i) {
        if (i == HeroMPByte && !TableOf(write.character).HasMP) continue;
        if (held[i] != (*write.expected)[i] && held[i] != write.replacement[i]) return false;
    }
    return true;
}

// "HP, MP and Strength"
std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return text;
}

// "its HP, MP and Strength reached the file, its Agility only in part; the
// other fields kept their old values": the first `bytes` bytes of a record.
std::string FieldsOfPartialRecord(CharacterId character, std::size_t bytes) {
    std::vector<std::string> whole;
    std::string part;
    for (const StatFieldInfo& info : StatFields) {
        if (info.field == StatField::MP && !TableOf(character).HasMP) continue;
        const auto end = static_cast<std::size_t>(info.recordOffset + info.width);
        if (end <= bytes) {
            whole.push_back(info.name);
        } else if (static_cast<std::size_t>(info.recordOffset) < bytes) {
            part = info.name;
        }
    }
    std::string text = whole.empty() ? "" : "its " + Joined(whole) + " reached the file";
    if (!part.empty()) text += (text.empty() ? "its " : ", its ") + part + " only in part";
    return text + "; the other fields kept their old values.";
}

std::string Capitalized(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string Plural(std::size_t count, const char* one, const char* many) { return count == 1 ? one : many; }

}  // namespace

std::string LevelName(CharacterId character, int levelIndex) {
    return "level " + std::to_string(levelIndex + 1) + " of the " + CharacterName(character);
}

std::string LevelNumbers(const std::vector<int>& levelIndexes) {
    std::vector<std::string> runs;
    for (std::size_t i = 0; i < levelIndexes.size();) {
        const int from = levelIndexes[i];
        int to = from;
        for (++i; i < levelIndexes.size() && levelIndexes[i] == to + 1; ++i) ++to;
        runs.push_back(std::to_string(from + 1) + (to > from ? " to " + std::to_string(to + 1) : ""));
    }
    return Plural(levelIndexes.size(), "level ", "levels ") + Joined(runs);
}

std::string LevelsOf(const std::vector<RecordWrite>& writes, std::size_t first, std::size_t last) {
    std::vector<std::string> groups;
    for (std::size_t i = first; i < last;) {
        const CharacterId character = writes[i].character;
        std::vector<int> levels;
        for (; i < last && writes[i].character == character; ++i) levels.push_back(writes[i].levelIndex);
        groups.push_back(std::string(CharacterName(character)) + " " + LevelNumbers(levels));
    }
    return Joined(groups);
}

WriteReport WriteRecords(RomFile& file, const std::vector<RecordWrite>& writes, const ProgressCallback& afterEach) {
    WriteReport report;
    const auto fail = [&report](WriteEnd end, Status error) {
        report.end = end;
        report.error = std::move(error);
        return report;
    };
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const RecordWrite& write = writes[i];
        const std::uint64_t offset = RecordOffset(write.character, write.levelIndex);
        if (Status inside = file.CheckRange("write", offset, LevelRecordSize); !inside) {
            return fail(WriteEnd::Failed, inside);
        }
        if (!write.expected) continue;
        const auto held = file.ReadAt(offset, LevelRecordSize);
        if (!held) return fail(WriteEnd::Failed, held.status());
        LevelRecordBytes bytes{};
        std::copy(held.value().begin(), held.value().end(), bytes.begin());
        if (!HoldsWhatIsReplaced(write, bytes)) {
            report.changedRecord = i;
            return fail(WriteEnd::Changed, Status::Fail(Capitalized(LevelName(write.character, write.levelIndex)) +
                                                        " was changed by another program."));
        }
    }

    const std::uint64_t generation = file.Generation();
    for (const RecordWrite& write : writes) {
        const Status written = file.WriteAt(RecordOffset(write.character, write.levelIndex),
                                            {write.replacement.begin(), write.replacement.end()}, &report.partialBytes);
        if (!written) return fail(WriteEnd::Failed, written);
        report.partialBytes = 0;
        ++report.recordsWritten;
        if (afterEach && !afterEach()) {
            if (!file.IsOpen() || file.Generation() != generation) return fail(WriteEnd::Stopped, Status::Ok());
            report.end = WriteEnd::Stopped;
            break;
        }
        if (!file.IsOpen() || file.Generation() != generation) return fail(WriteEnd::Stopped, Status::Ok());
    }
    if (report.recordsWritten == 0) return report;
    if (Status flushed = file.Flush(); !flushed) return fail(WriteEnd::FlushFailed, flushed);
    if (Status here = file.CheckStillAtPath(); !here) {
        return fail(WriteEnd::MovedAway,
                    Status::Fail(file.Path() + " was moved, replaced or deleted while it was written."));
    }
    return report;
}

std::string WhatReachedTheFile(const RomFile& file, const std::vector<RecordWrite>& writes, const WriteReport& report) {
    const std::size_t all = writes.size(), whole = report.recordsWritten;
    const std::string them = all == 1 ? "The new values are" : "The new levels are";
    switch (report.end) {
        case WriteEnd::Done:
        case WriteEnd::Changed: return "Nothing was written.";
        case WriteEnd::FlushFailed:
            return (whole == all ? them : LevelsOf(writes, 0, whole) + Plural(whole, " is", " are")) +
                   " in the file, but the system could not confirm that they reached the disk.";
        case WriteEnd::MovedAway:
            return (whole == all ? them : LevelsOf(writes, 0, whole) + Plural(whole, " is", " are")) +
                   " in a file that is no longer at " + file.Path() + "; the file now there, if any, is unchanged.";
        case WriteEnd::Stopped:
            return whole == 0 ? "Nothing was written."
                              : LevelsOf(writes, 0, whole) + Plural(whole, " was", " were") +
                                    " written before the run was stopped; the other levels were not written.";
        case WriteEnd::Failed: break;
    }
    if (!report.wroteAny()) return "Nothing was written.";
    std::string text;
    if (whole > 0) text = LevelsOf(writes, 0, whole) + " reached the file whole. ";
    if (report.partialBytes > 0) {
        const RecordWrite& torn = writes[whole];
        text += Capitalized(LevelName(torn.character, torn.levelIndex)) +
                " is incomplete: " + FieldsOfPartialRecord(torn.character, report.partialBytes) + " ";
    }
    const std::size_t untouched = all - whole - (report.partialBytes > 0 ? 1 : 0);
    if (untouched > 0)
        text += Plural(untouched, "The other level was not written.", "The other levels were not written.");
    if (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::vector<RecordWrite> WrittenPart(const std::vector<RecordWrite>& writes, const WriteReport& report) {
    std::vector<RecordWrite> written(writes.begin(),
                                     writes.begin() + static_cast<std::ptrdiff_t>(report.recordsWritten));
    if (report.partialBytes > 0 && writes[report.recordsWritten].expected) {
        RecordWrite torn = writes[report.recordsWritten];
        std::copy(torn.expected->begin() + static_cast<std::ptrdiff_t>(report.partialBytes), torn.expected->end(),
                  torn.replacement.begin() + static_cast<std::ptrdiff_t>(report.partialBytes));
        written.push_back(torn);
    }
    return written;
}

}  // namespace thornwake
