#include "level_csv.h"

#include <csv.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

namespace thornwake::cli {
namespace {

constexpr std::size_t ColumnCount = 2 + StatFields.size();
constexpr std::size_t ShownCellLength = 40;  // characters of a cell quoted in a message
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// "character", "level", "hp", "mp", "strength", ... in record order.
std::array<std::string, ColumnCount> ColumnNames() {
    std::array<std::string, ColumnCount> names{"character", "level"};
    for (std::size_t i = 0; i < StatFields.size(); ++i) {
        names[2 + i] = Lower(StatFields[i].name);
    }
    return names;
}

// "character, level, hp, ..., wisdom"
std::string ColumnList() {
    std::string list;
    for (const std::string& name : ColumnNames()) {
        list += (list.empty() ? "" : ", ") + name;
    }
    return list;
}

// A cell as it may be shown in a message: its first 40 characters, control
// characters escaped, so neither a huge cell nor a line break or a terminal
// escape in the file can garble the report.
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    std::size_t characters = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80 && ++characters > ShownCellLength) {
            return quoted + "\"...";
        }
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// Where the line that starts at `at` ends, its line break included: LF,
// CRLF or a lone CR.
std::size_t LineEnd(std::string_view text, std::size_t at) {
    const std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) {
        return text.size();
    }
    return end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
}

int LineBreaks(std::string_view text) {
    int count = 0;
    char previous = '\0';
    for (const char c : text) {
        count += c == '\r' || (c == '\n' && previous != '\r');  // "\r\n" counted at its '\r'
        previous = c;
    }
    return count;
}

std::optional<int> ParseLevel(std::string_view text) {
    text = Trim(text);
    int level = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), level);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || level < 1 || level > LevelCount) {
        return std::nullopt;
    }
    return level;
}

// One record of the input: its nine cells in column order, or the cells of a
// CSV row that does not have nine.
struct InputRecord {
    std::string place;   // as in InputError
    std::string origin;  // "on line 12", "in entry 12"
    std::vector<std::string> cells;
};

struct Input {
    std::vector<InputRecord> records;
    std::optional<InputError> error;  // the file as a whole is unusable
};

struct CsvRecord {
    int line;  // where the record starts
    std::vector<std::string> fields;
};

struct CsvTable {
    std::vector<CsvRecord> records;
    std::optional<InputError> error;  // malformed CSV; records then incomplete
};

// Collects libcsv's callbacks into records that know their first line.
struct CsvCollector {
    std::vector<CsvRecord> records;
    std::vector<std::string> fields;
    int line = 1;  // the line being fed to the parser
    int recordLine = 0;

    static void OnField(void* data, std::size_t length, void* self) {
        auto& c = *static_cast<CsvCollector*>(self);
        std::string field(static_cast<const char*>(data), length);
        if (c.fields.empty()) {
            // A quoted first field may span lines; the record starts where it began.
            c.recordLine = c.line - LineBreaks(field);
        }
        c.fields.push_back(std::move(field));
    }

    static void OnRecordEnd(int /*terminator*/, void* self) {
        auto& c = *static_cast<CsvCollector*>(self);
        const bool allEmpty =
            std::all_of(c.fields.begin(), c.fields.end(), [](const std::string& f) { return Trim(f).empty(); });
        if (!allEmpty) {
            c.records.push_back({c.recordLine, std::move(c.fields)});
        }
        c.fields.clear();
    }
};

// RFC 4180 fields separated by `delimiter`; rows of empty fields skipped.
CsvTable ParseCsv(std::string_view text, char delimiter) {
    csv_parser parser;
    CsvTable table;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        table.error = InputError{"", "cannot start the CSV reader"};
        return table;
    }
    csv_set_delim(&parser, static_cast<unsigned char>(delimiter));
    CsvCollector collector;
    // Fed line by line, so that every record knows the line it starts on.
    for (std::size_t at = 0; at < text.size() && !table.error;) {
        const std::size_t end = LineEnd(text, at);
        if (csv_parse(&parser, text.data() + at, end - at, CsvCollector::OnField, CsvCollector::OnRecordEnd,
                      &collector) != end - at) {
            table.error = InputError{":" + std::to_string(collector.line),
                                     std::string("malformed CSV: ") + csv_strerror(csv_error(&parser))};
        }
        at = end;
        collector.line += at < text.size();
    }
    if (!table.error && csv_fini(&parser, CsvCollector::OnField, CsvCollector::OnRecordEnd, &collector) != 0) {
        table.error = InputError{":" + std::to_string(collector.line), "malformed CSV: a quoted field is not closed"};
    }
    csv_free(&parser);
    table.records = std::move(collector.records);
    return table;
}

// Where each of the nine columns is, when `fields` names each exactly once.
std::optional<std::array<std::size_t, ColumnCount>> HeaderColumns(const std::vector<std::string>& fields) {
    if (fields.size() != ColumnCount) {
        return std::nullopt;
    }
    const auto names = ColumnNames();
    std::array<std::size_t, ColumnCount> columnOf{};
    for (std::size_t n = 0; n < ColumnCount; ++n) {
        const auto found = std::find_if(fields.begin(), fields.end(),
                                        [&](const std::string& f) { return Lower(Trim(f)) == names[n]; });
        if (found == fields.end()) {
            return std::nullopt;
        }
        columnOf[n] = static_cast<std::size_t>(found - fields.begin());
    }
    return columnOf;
}

// The separator is the one with which the first row is the header row.
Input ReadCsv(std::string_view text) {
    int headerLine = 1;
    for (const char delimiter : CsvDelimiters) {
        CsvTable table = ParseCsv(text, delimiter);
        if (table.records.empty()) {
            continue;
        }
        headerLine = table.records.front().line;
        const auto columnOf = HeaderColumns(table.records.front().fields);
        if (!columnOf) {
            continue;
        }
        if (table.error) {
            return {{}, table.error};
        }
        Input input;
        for (std::size_t r = 1; r < table.records.size(); ++r) {
            CsvRecord& csv = table.records[r];
            InputRecord record{":" + std::to_string(csv.line), "on line " + std::to_string(csv.line), {}};
            if (csv.fields.size() == ColumnCount) {
                for (const std::size_t column : *columnOf) {
                    record.cells.push_back(std::move(csv.fields[column]));
                }
            } else {
                record.cells = std::move(csv.fields);
            }
            input.records.push_back(std::move(record));
        }
        return input;
    }
    return {{},
            InputError{":" + std::to_string(headerLine),
                       "expected a header row naming " + ColumnList() + ", separated by commas, semicolons or tabs."}};
}

// A JSON value as the cell it stands for: null is an empty cell.
std::string CellOf(const nlohmann::json& value) {
    if (value.is_null()) {
        return "";
    }
    return value.is_string() ? value.get<std::string>() : value.dump();
}

// "[json.exception.parse_error.101] parse error at line 1, column 2: REASON; last read: 'TOKEN'[; expected X]"
// as "malformed JSON: REASON; last read: "TOKEN"[; expected X]", the token cut as a cell.
std::string JsonReason(const std::string& what) {
    std::string reason = what.substr(what.find("] ") == std::string::npos ? 0 : what.find("] ") + 2);
    if (reason.rfind("parse error", 0) == 0 && reason.find(": ") != std::string::npos) {
        reason = reason.substr(reason.find(": ") + 2);
    }
    const std::string lastRead = "; last read: '";
    if (const std::size_t token = reason.find(lastRead); token != std::string::npos) {
        // The token may hold quotes itself; it ends at "'; expected ..." or at the last "'".
        const std::size_t begin = token + lastRead.size();
        const std::size_t end = std::min(reason.find("'; expected ", begin), reason.size() - 1);
        reason = reason.substr(0, begin - 1) + Quoted(reason.substr(begin, end - begin)) + reason.substr(end + 1);
    }
    return "malformed JSON: " + reason;
}

// Stops the parser at the first value no export holds.
struct JsonRefusal {
    InputError error;
};

// Watches the parser's events: an entry object names each key once, and
// nothing nests deeper than an array or object where a cell is, so that no
// value read can be too deep to walk. Throws JsonRefusal.
class JsonShape {
public:
    bool operator()(int depth, nlohmann::json::parse_event_t event, const nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        const bool opens = event == Event::object_start || event == Event::array_start;
        if (depth == 0 && event == Event::array_start) {
            inArray_ = true;
        }
        if (depth == 1 && (opens || event == Event::value)) {
            ++entry_;
            keys_.clear();
        }
        if (opens && depth > CellDepth) {
            Refuse("nested more than " + std::to_string(CellDepth + 1) +
                   " deep; an export holds numbers, text and null in its objects");
        }
        if (depth == CellDepth && event == Event::key && !keys_.insert(parsed.get<std::string>()).second) {
            Refuse("has the key " + Quoted(parsed.get<std::string>()) + " twice");
        }
        return true;
    }

private:
    static constexpr int CellDepth = 2;  // the array, an entry, a cell

    void Refuse(const std::string& message) const {
        throw JsonRefusal{{inArray_ ? ": entry " + std::to_string(entry_) : "", message}};
    }

    bool inArray_ = false;
    std::size_t entry_ = 0;
    std::set<std::string> keys_;
};

// The JSON of an export: an array of objects with the nine keys.
Input ReadJson(std::string_view text) {
    // The parser takes a NUL for the end of the text and would ignore what follows.
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        return {{},
                InputError{":" + std::to_string(1 + LineBreaks(text.substr(0, nul))),
                           "malformed JSON: a NUL byte, which JSON text never holds"}};
    }
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text, JsonShape());
    } catch (const JsonRefusal& refusal) {
        return {{}, refusal.error};
    } catch (const nlohmann::json::parse_error& e) {
        const std::size_t at = std::min<std::size_t>(e.byte > 0 ? e.byte - 1 : 0, text.size());
        return {{}, InputError{":" + std::to_string(1 + LineBreaks(text.substr(0, at))), JsonReason(e.what())}};
    } catch (const nlohmann::json::exception& e) {  // a number too large
        return {{}, InputError{"", JsonReason(e.what())}};
    }
    const std::string expected =
        "expected a JSON array of objects with the keys " + ColumnList() + ", as export --format json writes.";
    if (!document.is_array()) {
        return {{}, InputError{"", expected}};
    }
    const auto names = ColumnNames();
    Input input;
    for (std::size_t i = 0; i < document.size(); ++i) {
        const nlohmann::json& entry = document[i];
        const std::string number = std::to_string(i + 1);
        const auto hasKey = [&](const std::string& name) { return entry.contains(name); };
        const bool keyed =
            entry.is_object() && entry.size() == ColumnCount && std::all_of(names.begin(), names.end(), hasKey);
        if (!keyed) {
            return {{}, InputError{": entry " + number, expected}};
        }
        InputRecord record{": entry " + number, "in entry " + number, {}};
        for (const std::string& name : names) {
            record.cells.push_back(CellOf(entry[name]));
        }
        const auto character = CharacterFromKey(record.cells[0]);
        const auto level = ParseLevel(record.cells[1]);
        if (character && level) {
            record.place += " (" + CharacterKey(*character) + " level " + std::to_string(*level) + ")";
        }
        input.records.push_back(std::move(record));
    }
    return input;
}

// The checks every record passes, whichever format it came in.
void CheckRecords(const std::vector<InputRecord>& records, ImportRows& result) {
    const auto names = ColumnNames();
    std::map<std::pair<CharacterId, int>, const InputRecord*> firstOf;
    for (const InputRecord& input : records) {
        const auto fail = [&](const std::string& message) { result.errors.push_back({input.place, message}); };
        if (input.cells.size() != ColumnCount) {
            const std::size_t fields = input.cells.size();
            fail("has " + std::to_string(fields) + (fields == 1 ? " field" : " fields") + "; the header has " +
                 std::to_string(ColumnCount));
            continue;
        }
        const std::size_t errorsBefore = result.errors.size();

        const std::optional<CharacterId> character = CharacterFromKey(input.cells[0]);
        if (!character) {
            fail("unknown character " + Quoted(input.cells[0]) + "; expected hero, sprite or girl");
        }
        const std::optional<int> level = ParseLevel(input.cells[1]);
        if (!level) {
            fail("level " + Quoted(input.cells[1]) + " is not a whole number from 1 to 99");
        }

        ImportRow row{input.place, {character.value_or(CharacterId::Hero), level.value_or(1) - 1}, {}};
        for (std::size_t i = 0; i < StatFields.size(); ++i) {
            const StatFieldInfo& info = StatFields[i];
            const std::string& text = input.cells[2 + i];
            if (info.field == StatField::MP && (!character || !TableOf(*character).HasMP)) {
                // Whether mp may be empty depends on a character that is not known.
                if (character && !Trim(text).empty() && ParseField(info.field, text) != 0) {
                    fail("the Hero has no MP: mp must be empty or 0, not " + Quoted(text));
                }
                continue;
            }
            const std::optional<int> value = ParseField(info.field, text);
            if (!value) {
                fail(names[2 + i] + " " + Quoted(text) + " is not a number from " + std::to_string(info.minimum) +
                     " to " + std::to_string(info.maximum));
            } else {
                SetField(row.record, info.field, *value);
            }
        }

        if (character && level) {
            const auto [first, isNew] = firstOf.emplace(std::make_pair(*character, *level), &input);
            if (!isNew) {
                fail(RecordName(row.id) + " is already given " + first->second->origin);
            }
        }
        if (result.errors.size() == errorsBefore) {
            result.rows.push_back(row);
        }
    }
}

}  // namespace

std::string CsvHeader(char delimiter) {
    std::string header;
    for (const std::string& name : ColumnNames()) {
        header += (header.empty() ? "" : std::string(1, delimiter)) + name;
    }
    return header;
}

std::string CharacterKey(CharacterId character) { return Lower(CharacterName(character)); }

std::optional<CharacterId> CharacterFromKey(std::string_view key) {
    for (CharacterId character : AllCharacters) {
        if (Lower(Trim(key)) == CharacterKey(character)) {
            return character;
        }
    }
    return std::nullopt;
}

std::string ExportCsv(const std::vector<LevelRow>& rows, char delimiter) {
    std::string text = CsvHeader(delimiter) + "\n";
    for (const LevelRow& row : rows) {
        const bool hasMP = TableOf(row.id.character).HasMP;
        text += CharacterKey(row.id.character) + delimiter + std::to_string(row.id.levelIndex + 1);
        for (const StatFieldInfo& info : StatFields) {
            text += delimiter;
            if (info.field != StatField::MP || hasMP) {
                text += std::to_string(GetField(row.record, info.field));
            }
        }
        text += "\n";
    }
    return text;
}

std::string ExportJson(const std::vector<LevelRow>& rows) {
    const auto names = ColumnNames();
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const LevelRow& row : rows) {
        nlohmann::ordered_json entry;
        entry[names[0]] = CharacterKey(row.id.character);
        entry[names[1]] = row.id.levelIndex + 1;
        for (std::size_t i = 0; i < StatFields.size(); ++i) {
            const StatFieldInfo& info = StatFields[i];
            if (info.field == StatField::MP && !TableOf(row.id.character).HasMP) {
                entry[names[2 + i]] = nullptr;
            } else {
                entry[names[2 + i]] = GetField(row.record, info.field);
            }
        }
        list.push_back(std::move(entry));
    }
    return list.dump(2) + "\n";
}

ImportRows ReadImportRows(std::string_view text) {
    if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
        text.remove_prefix(ByteOrderMark.size());
    }
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    const bool json = first != std::string_view::npos && (text[first] == '[' || text[first] == '{');
    const Input input = json ? ReadJson(text) : ReadCsv(text);
    ImportRows result;
    if (input.error) {
        result.errors.push_back(*input.error);
    } else {
        CheckRecords(input.records, result);
    }
    return result;
}

}  // namespace thornwake::cli
