#include "level_tables.h"

#include "record_writes.h"

#include <algorithm>
#include <cstddef>

namespace thornwake {

const LevelTable& TableOf(CharacterId character) {
    switch (character) {
        case CharacterId::Sprite: return SpriteTable;
        case CharacterId::Girl: return GirlTable;
        case CharacterId::Hero: break;
    }
    return HeroTable;
}

const char* CharacterName(CharacterId character) {
    switch (character) {
        case CharacterId::Sprite: return "Sprite";
        case CharacterId::Girl: return "Girl";
        case CharacterId::Hero: break;
    }
    return "Hero";
}

std::uint64_t RecordOffset(CharacterId character, int levelIndex) {
    return TableOf(character).BaseOffset + static_cast<std::uint64_t>(LevelRecordSize) * levelIndex;
}

const StatFieldInfo& InfoOf(StatField field) { return StatFields[static_cast<std::size_t>(field)]; }

int GetField(const LevelRecord& record, StatField field) {
    switch (field) {
        case StatField::HP: return record.HP;
        case StatField::MP: return record.MP;
        case StatField::STR: return record.STR;
        case StatField::AGI: return record.AGI;
        case StatField::CON: return record.CON;
        case StatField::INTL: return record.INTL;
        case StatField::WIS: return record.WIS;
    }
    return 0;
}

void SetField(LevelRecord& record, StatField field, int value) {
    const auto byte = static_cast<std::uint8_t>(value);
    switch (field) {
        case StatField::HP: record.HP = static_cast<std::int16_t>(value); break;
        case StatField::MP: record.MP = byte; break;
        case StatField::STR: record.STR = byte; break;
        case StatField::AGI: record.AGI = byte; break;
        case StatField::CON: record.CON = byte; break;
        case StatField::INTL: record.INTL = byte; break;
        case StatField::WIS: record.WIS = byte; break;
    }
}

LevelRecordBytes EncodeLevelRecord(const LevelRecord& record) {
    LevelRecordBytes bytes{};
    const auto hp = static_cast<std::uint16_t>(record.HP);
    bytes[0] = static_cast<std::uint8_t>(hp & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(hp >> 8);
    for (const StatFieldInfo& info : StatFields) {
        if (info.field != StatField::HP)
            bytes[info.recordOffset] = static_cast<std::uint8_t>(GetField(record, info.field));
    }
    return bytes;
}

LevelRecord DecodeLevelRecord(const LevelRecordBytes& bytes) {
    LevelRecord record;
    record.HP = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8));
    for (const StatFieldInfo& info : StatFields) {
        if (info.field != StatField::HP) SetField(record, info.field, bytes[info.recordOffset]);
    }
    return record;
}

LevelRecord AsStored(CharacterId character, LevelRecord record) {
    if (!TableOf(character).HasMP) record.MP = 0;
    return record;
}

Result<LevelRecord> ReadLevelRecord(const RomFile& file, CharacterId character, int levelIndex) {
    const std::uint64_t offset = RecordOffset(character, levelIndex);
    LevelRecordBytes bytes{};  // the Hero's MP byte is not read and stays 0
    for (const StatFieldInfo& info : StatFields) {
        if (info.field == StatField::MP && !TableOf(character).HasMP) continue;
        auto read = file.ReadAt(offset + info.recordOffset, info.width);
        if (!read) return read.status();
        std::copy(read.value().begin(), read.value().end(), bytes.begin() + info.recordOffset);
    }
    return DecodeLevelRecord(bytes);
}

Status WriteLevelRecord(RomFile& file, CharacterId character, int levelIndex, const LevelRecord& record) {
    const std::vector<RecordWrite> writes{
        {character, levelIndex, std::nullopt, EncodeLevelRecord(AsStored(character, record))}};
    const WriteReport report = WriteRecords(file, writes);
    if (report.ok()) return Status::Ok();
    return Status::Fail(report.error.message() + " " + WhatReachedTheFile(file, writes, report));
}

std::string FormatHP(std::int16_t value) { return std::to_string(value); }
std::string FormatStat(std::uint8_t value) { return std::to_string(value); }

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Plain decimal text rounded half to even, or nothing. Works on the digits
// themselves, so no length of input can overflow or lose precision.
std::optional<long> ParseRoundedDecimal(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    for (char c : whole)
        if (!IsDigit(c)) return std::nullopt;
    for (char c : fraction)
        if (!IsDigit(c)) return std::nullopt;

    // Any value of seven or more significant digits is out of every range.
    long magnitude = 0;
    int significant = 0;
    for (char c : whole) {
        if (significant == 0 && c == '0') continue;
        if (++significant > 6) return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
    }

    if (!fraction.empty()) {
        const char first = fraction.front();
        bool restNonZero = false;
        for (char c : fraction.substr(1)) restNonZero = restNonZero || c != '0';
        const bool above = first > '5' || (first == '5' && restNonZero);
        const bool half = first == '5' && !restNonZero;
        if (above || (half && magnitude % 2 == 1)) ++magnitude;
    }
    return negative ? -magnitude : magnitude;
}

}  // namespace

std::optional<int> ParseField(StatField field, std::string_view text) {
    const auto value = ParseRoundedDecimal(text);
    const StatFieldInfo& info = InfoOf(field);
    if (!value || *value < info.minimum || *value > info.maximum) return std::nullopt;
    return static_cast<int>(*value);
}

std::string WholeNumberRule(StatField field) {
    const StatFieldInfo& info = InfoOf(field);
    return std::string(info.name) + " must be a whole number from " + std::to_string(info.minimum) + " to " +
           std::to_string(info.maximum) + ".";
}

std::optional<std::int16_t> ParseHP(std::string_view text) {
    const auto value = ParseField(StatField::HP, text);
    if (!value) return std::nullopt;
    return static_cast<std::int16_t>(*value);
}

std::optional<std::uint8_t> ParseStat(std::string_view text) {
    const auto value = ParseField(StatField::STR, text);
    if (!value) return std::nullopt;
    return static_cast<std::uint8_t>(*value);
}

}  // namespace thornwake
