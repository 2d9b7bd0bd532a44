#pragma once
// The level tables as text: the CSV and JSON of an export, and the rows of a
// CSV to import, each checked with the editor's own field conversions.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image_access.h"
#include "level_tables.h"

namespace thornwake::cli {

// "character,level,hp,mp,strength,agility,constitution,intelligence,wisdom"
std::string CsvHeader();

// "hero", "sprite", "girl": the character column and the --character values.
std::string CharacterKey(CharacterId character);
std::optional<CharacterId> CharacterFromKey(std::string_view key);  // any letter case

struct LevelRow {
    RecordId id;
    LevelRecord record;
};

// The Hero's mp is empty in CSV and null in JSON.
std::string ExportCsv(const std::vector<LevelRow>& rows);
std::string ExportJson(const std::vector<LevelRow>& rows);

struct LineError {
    int line;  // 1-based line of the file
    std::string message;
};

struct CsvRecord {
    int line;  // where the record starts
    std::vector<std::string> fields;
};

// RFC 4180 fields (quotes, quoted commas and line breaks), LF or CRLF line
// ends, a UTF-8 byte order mark, blank lines and rows of empty fields skipped.
struct CsvTable {
    std::vector<CsvRecord> records;
    std::optional<LineError> error;  // malformed CSV; records then incomplete
};
CsvTable ParseCsv(std::string_view text);

struct ImportRow {
    int line;
    RecordId id;
    LevelRecord record;  // the Hero's MP is 0
};

// Every row checked before anything is used: the header, a known character,
// a level from 1 to 99, each value in its field's range, no record twice, a
// Hero mp empty or 0. `errors` names every bad row; `rows` is then not to be
// written.
struct ImportRows {
    std::vector<ImportRow> rows;
    std::vector<LineError> errors;
};
ImportRows ReadImportRows(std::string_view csvText);

}  // namespace thornwake::cli
