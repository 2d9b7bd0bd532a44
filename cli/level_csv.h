#pragma once
// The level tables as text: the CSV and JSON of an export, and the records of
// a CSV or JSON file to import, each checked with the editor's own field
// conversions.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image_access.h"
#include "level_tables.h"

namespace thornwake::cli {

// The column separators a spreadsheet writes: an export uses one of them, an
// import finds out which from the header row.
constexpr std::array<char, 3> CsvDelimiters = {',', ';', '\t'};

// "character,level,hp,mp,strength,agility,constitution,intelligence,wisdom",
// joined by `delimiter`.
std::string CsvHeader(char delimiter = ',');

// "hero", "sprite", "girl": the character column and the --character values.
std::string CharacterKey(CharacterId character);
std::optional<CharacterId> CharacterFromKey(std::string_view key);  // any letter case

struct LevelRow {
    RecordId id;
    LevelRecord record;
};

// The Hero's mp is empty in CSV and null in JSON.
std::string ExportCsv(const std::vector<LevelRow>& rows, char delimiter = ',');
std::string ExportJson(const std::vector<LevelRow>& rows);

// A file to import may not be larger: an export of all 297 records is about
// 10 KB, and a larger file is no level table.
constexpr std::size_t ImportSizeLimit = 1024 * 1024;

// `place` follows the file name in the message: ":12" for a CSV line,
// ": entry 12 (girl level 4)" for a JSON entry, "" for the whole file.
struct InputError {
    std::string place;
    std::string message;
};

struct ImportRow {
    std::string place;
    RecordId id;
    LevelRecord record;  // the Hero's MP is 0
};

// The file is the JSON of an export when it starts with '[' or '{', else a
// CSV whose header row names the nine columns in any order, separated by
// commas, semicolons or tabs; quoted fields, LF, CRLF or CR line ends and a
// UTF-8 byte order mark are read, blank rows skipped. Every record is checked
// before any is used: a known character, a level from 1 to 99, each value in
// its field's range, no record twice, the Hero's mp empty, null or 0.
// `errors` names every bad record; `rows` is then not to be written. Cells
// shown in messages are cut to 40 characters, control characters escaped.
struct ImportRows {
    std::vector<ImportRow> rows;
    std::vector<InputError> errors;
};
ImportRows ReadImportRows(std::string_view text);

}  // namespace thornwake::cli
