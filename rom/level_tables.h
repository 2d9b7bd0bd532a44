#pragma once
// Where each character's level table lies in the image, the layout of one
// level record, and the conversions between a stored field and its text.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rom_file.h"
#include "status.h"

namespace thornwake {

// Order of presentation: tabs, lists, procedures.
enum class CharacterId { Hero, Sprite, Girl };
constexpr std::array<CharacterId, 3> AllCharacters = {CharacterId::Hero, CharacterId::Sprite, CharacterId::Girl};

constexpr int LevelCount = 99;
constexpr int LevelRecordSize = 8;

struct LevelTable {
    std::uint32_t BaseOffset;
    bool HasMP;
};

// The three tables lie back to back in the order Hero, Girl, Sprite.
constexpr LevelTable HeroTable{0x104210, false};
constexpr LevelTable GirlTable{0x104528, true};
constexpr LevelTable SpriteTable{0x104840, true};
constexpr std::uint32_t LevelTablesBegin = 0x104210;
constexpr std::uint32_t LevelTablesEnd = 0x104B58;  // one past the last Sprite byte

const LevelTable& TableOf(CharacterId character);
const char* CharacterName(CharacterId character);  // "Hero", "Sprite", "Girl"

// Offset of the record of `levelIndex` (0..98) of `character`.
std::uint64_t RecordOffset(CharacterId character, int levelIndex);

struct LevelRecord {
    std::int16_t HP = 0;
    std::uint8_t MP = 0;
    std::uint8_t STR = 0;
    std::uint8_t AGI = 0;
    std::uint8_t CON = 0;
    std::uint8_t INTL = 0;
    std::uint8_t WIS = 0;

    friend bool operator==(const LevelRecord& a, const LevelRecord& b) {
        return a.HP == b.HP && a.MP == b.MP && a.STR == b.STR && a.AGI == b.AGI && a.CON == b.CON && a.INTL == b.INTL &&
               a.WIS == b.WIS;
    }
    friend bool operator!=(const LevelRecord& a, const LevelRecord& b) { return !(a == b); }
};

// The seven fields of a record, in record order, with what the program shows
// and accepts for each. One table serves the window, the tests and the
// command-line tool.
enum class StatField { HP, MP, STR, AGI, CON, INTL, WIS };
struct StatFieldInfo {
    StatField field;
    const char* stem;  // "HP", "MP", "STR", ... as in the control names
    const char* name;  // "HP", "MP", "Strength", "Agility", ...
    int recordOffset;  // byte offset inside the record
    int width;         // bytes
    int minimum;
    int maximum;
};
constexpr std::array<StatFieldInfo, 7> StatFields = {{
    {StatField::HP, "HP", "HP", 0, 2, -32768, 32767},
    {StatField::MP, "MP", "MP", 2, 1, 0, 255},
    {StatField::STR, "STR", "Strength", 3, 1, 0, 255},
    {StatField::AGI, "AGI", "Agility", 4, 1, 0, 255},
    {StatField::CON, "CON", "Constitution", 5, 1, 0, 255},
    {StatField::INTL, "INTL", "Intelligence", 6, 1, 0, 255},
    {StatField::WIS, "WIS", "Wisdom", 7, 1, 0, 255},
}};
const StatFieldInfo& InfoOf(StatField field);
int GetField(const LevelRecord& record, StatField field);
// `value` must lie in the field's range.
void SetField(LevelRecord& record, StatField field, int value);

// The 8 bytes of a record as the game stores them (HP little-endian, then
// MP, STR, AGI, CON, INTL, WIS), and back. Every field as it is.
using LevelRecordBytes = std::array<std::uint8_t, LevelRecordSize>;
LevelRecordBytes EncodeLevelRecord(const LevelRecord& record);
LevelRecord DecodeLevelRecord(const LevelRecordBytes& bytes);

// The record as WriteLevelRecord stores it for `character`: the Hero's MP is 0.
LevelRecord AsStored(CharacterId character, LevelRecord record);

// Seven positioned reads (the Hero's six: his MP byte is not read, MP is 0).
// A failed read returns the error, never a record built in part.
Result<LevelRecord> ReadLevelRecord(const RomFile& file, CharacterId character, int levelIndex);

// One positioned write of the record's 8 bytes as the game stores them (the
// Hero's MP byte 0), replacing whatever is there, then a flush: WriteRecords
// of one record. The error says what reached the file.
Status WriteLevelRecord(RomFile& file, CharacterId character, int levelIndex, const LevelRecord& record);

std::string FormatHP(std::int16_t value);
std::string FormatStat(std::uint8_t value);

// Plain decimal with optional sign and fraction, blanks around it ignored;
// a fraction rounds to the nearest whole number, a half to the even one.
// Independent of the process locale. Fails on anything else or out of range.
std::optional<std::int16_t> ParseHP(std::string_view text);
std::optional<std::uint8_t> ParseStat(std::string_view text);
// The same rule for any field, in that field's range.
std::optional<int> ParseField(StatField field, std::string_view text);
// What a text must be for ParseField to take it:
// "Strength must be a whole number from 0 to 255."
std::string WholeNumberRule(StatField field);

}  // namespace thornwake
