#include "level_csv.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

namespace thornwake::cli {
namespace {

constexpr std::size_t ColumnCount = 2 + StatFields.size();

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

// A cell as it may be shown in a message: control characters escaped, so a
// line break or a terminal escape in the file cannot garble the report.
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
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
            c.recordLine = c.line - static_cast<int>(std::count(field.begin(), field.end(), '\n'));
        }
        c.fields.push_back(std::move(field));
    }

    static void OnRecordEnd(int /*terminator*/, void* self) {
        auto& c = *static_cast<CsvCollector*>(self);
        const bool allEmpty = std::all_of(c.fields.begin(), c.fields.end(),
                                          [](const std::string& f) { return Trim(f).empty(); });
        if (!allEmpty) {
            c.records.push_back({c.recordLine, std::move(c.fields)});
        }
        c.fields.clear();
    }
};

std::optional<int> ParseLevel(std::string_view text) {
    text = Trim(text);
    int level = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), level);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || level < 1 ||
        level > LevelCount) {
        return std::nullopt;
    }
    return level;
}

}  // namespace

std::string CsvHeader() {
    std::string header;
    for (const std::string& name : ColumnNames()) {
        header += (header.empty() ? "" : ",") + name;
    }
    return header;
}

std::string CharacterKey(CharacterId character) {
    return Lower(CharacterName(character));
}

std::optional<CharacterId> CharacterFromKey(std::string_view key) {
    for (CharacterId character : AllCharacters) {
        if (Lower(Trim(key)) == CharacterKey(character)) {
            return character;
        }
    }
    return std::nullopt;
}

std::string ExportCsv(const std::vector<LevelRow>& rows) {
    std::string text = CsvHeader() + "\n";
    for (const LevelRow& row : rows) {
        const bool hasMP = TableOf(row.id.character).HasMP;
        text += CharacterKey(row.id.character) + "," + std::to_string(row.id.levelIndex + 1);
        for (const StatFieldInfo& info : StatFields) {
            text += ",";
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

CsvTable ParseCsv(std::string_view text) {
    static constexpr std::string_view Bom = "\xEF\xBB\xBF";
    if (text.substr(0, Bom.size()) == Bom) {
        text.remove_prefix(Bom.size());
    }

    csv_parser parser;
    CsvTable table;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        table.error = LineError{1, "cannot start the CSV reader"};
        return table;
    }
    CsvCollector collector;
    // Fed line by line, so that every record knows the line it starts on.
    while (!text.empty() && !table.error) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        if (csv_parse(&parser, line.data(), line.size(), CsvCollector::OnField, CsvCollector::OnRecordEnd,
                      &collector) != line.size()) {
            table.error = LineError{collector.line, std::string("malformed CSV: ") +
                                                        csv_strerror(csv_error(&parser))};
        }
        text.remove_prefix(line.size());
        if (!text.empty()) {
            ++collector.line;
        }
    }
    if (!table.error &&
        csv_fini(&parser, CsvCollector::OnField, CsvCollector::OnRecordEnd, &collector) != 0) {
        table.error = LineError{collector.line, "malformed CSV: a quoted field is not closed"};
    }
    csv_free(&parser);
    table.records = std::move(collector.records);
    return table;
}

ImportRows ReadImportRows(std::string_view csvText) {
    ImportRows result;
    CsvTable table = ParseCsv(csvText);
    if (table.error) {
        result.errors.push_back(*table.error);
        return result;
    }
    if (table.records.empty()) {
        result.errors.push_back({1, "no header row \"" + CsvHeader() + "\""});
        return result;
    }

    // The header names the columns, in any order.
    const CsvRecord& header = table.records.front();
    const auto names = ColumnNames();
    std::array<std::size_t, ColumnCount> columnOf{};
    std::string headerProblem;
    if (header.fields.size() != ColumnCount) {
        headerProblem = "has " + std::to_string(header.fields.size()) + " columns";
    }
    for (std::size_t n = 0; n < ColumnCount && headerProblem.empty(); ++n) {
        const auto found = std::find_if(header.fields.begin(), header.fields.end(),
                                        [&](const std::string& f) { return Lower(Trim(f)) == names[n]; });
        if (found == header.fields.end()) {
            headerProblem = "has no column " + names[n];
        }
        columnOf[n] = static_cast<std::size_t>(found - header.fields.begin());
    }
    if (!headerProblem.empty()) {
        result.errors.push_back({header.line, "the header row " + headerProblem + "; expected \"" +
                                                  CsvHeader() + "\" in any order"});
        return result;
    }

    std::map<std::pair<CharacterId, int>, int> firstLineOf;
    for (std::size_t r = 1; r < table.records.size(); ++r) {
        const CsvRecord& csv = table.records[r];
        const auto fail = [&](const std::string& message) { result.errors.push_back({csv.line, message}); };
        if (csv.fields.size() != ColumnCount) {
            fail("has " + std::to_string(csv.fields.size()) + " fields; the header has " +
                 std::to_string(ColumnCount));
            continue;
        }
        const auto column = [&](std::size_t n) -> const std::string& { return csv.fields[columnOf[n]]; };
        const std::size_t errorsBefore = result.errors.size();

        const std::optional<CharacterId> character = CharacterFromKey(column(0));
        if (!character) {
            fail("unknown character " + Quoted(column(0)) + "; expected hero, sprite or girl");
        }
        const std::optional<int> level = ParseLevel(column(1));
        if (!level) {
            fail("level " + Quoted(column(1)) + " is not a whole number from 1 to 99");
        }

        ImportRow row{csv.line, {character.value_or(CharacterId::Hero), level.value_or(1) - 1}, {}};
        for (std::size_t i = 0; i < StatFields.size(); ++i) {
            const StatFieldInfo& info = StatFields[i];
            const std::string& text = column(2 + i);
            const bool heroMP = info.field == StatField::MP && character == CharacterId::Hero;
            if (heroMP && Trim(text).empty()) {
                continue;
            }
            const std::optional<int> value = ParseField(info.field, text);
            if (heroMP && value != 0) {
                fail("the Hero has no MP: mp must be empty or 0, not " + Quoted(text));
            } else if (!value) {
                fail(names[2 + i] + " " + Quoted(text) + " is not a number from " +
                     std::to_string(info.minimum) + " to " + std::to_string(info.maximum));
            } else {
                SetField(row.record, info.field, *value);
            }
        }

        if (character && level) {
            const auto [first, isNew] = firstLineOf.emplace(std::make_pair(*character, *level), csv.line);
            if (!isNew) {
                fail(RecordName(row.id) + " is already given on line " + std::to_string(first->second));
            }
        }
        if (result.errors.size() == errorsBefore) {
            result.rows.push_back(row);
        }
    }
    return result;
}

}  // namespace thornwake::cli
