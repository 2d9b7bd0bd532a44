#include "level_edits.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>

namespace thornwake {

namespace {

// p / q rounded to the nearest whole number, a half to the even one; q > 0.
std::int64_t RoundedQuotient(std::int64_t p, std::int64_t q) {
    std::int64_t quotient = p / q, remainder = p % q;
    if (remainder < 0) {
        --quotient;
        remainder += q;
    }
    if (2 * remainder > q || (2 * remainder == q && quotient % 2 != 0)) ++quotient;
    return quotient;
}

}  // namespace

std::vector<int> CurveValues(Curve curve, int first, int last, int count) {
    std::vector<int> values;
    const std::int64_t n = count - 1;
    for (std::int64_t i = 0; i < count; ++i) {
        if (n == 0) {
            values.push_back(first);
            break;
        }
        // The curve at t = i / n as the fraction shape / scale.
        std::int64_t shape = i, scale = n;
        switch (curve) {
            case Curve::Linear: break;
            case Curve::EaseIn: shape = i * i, scale = n * n; break;
            case Curve::EaseOut: shape = i * (2 * n - i), scale = n * n; break;
            case Curve::SCurve: shape = i * i * (3 * n - 2 * i), scale = n * n * n; break;
        }
        values.push_back(
            static_cast<int>(RoundedQuotient(first * scale + (std::int64_t{last} - first) * shape, scale)));
    }
    return values;
}

std::vector<int> CurveValuesAt(Curve curve, int first, int last, const std::vector<int>& levelIndexes) {
    const std::vector<int> span = CurveValues(curve, first, last, levelIndexes.back() - levelIndexes.front() + 1);
    std::vector<int> values;
    for (int level : levelIndexes) values.push_back(span[static_cast<std::size_t>(level - levelIndexes.front())]);
    return values;
}

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Every cell names a column, by its name or its stem.
bool IsHeaderRow(const std::vector<std::string>& row) {
    return std::all_of(row.begin(), row.end(), [](const std::string& cell) {
        return std::any_of(StatFields.begin(), StatFields.end(), [&](const StatFieldInfo& info) {
            return SameLetters(Trimmed(cell), info.name) || SameLetters(Trimmed(cell), info.stem);
        });
    });
}

}  // namespace

Result<TextBlock> ParsePastedBlock(std::string_view text) {
    if (text.size() > MaxPastedText) {
        return Status::Fail("The pasted text is longer than the table can take (" + std::to_string(MaxPastedText) +
                            " bytes).");
    }
    TextBlock block;
    // Rows past the 99th of data fit nowhere; a header may come first.
    while (!text.empty() && block.size() <= static_cast<std::size_t>(LevelCount)) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && line.back() == '\t') line.remove_suffix(1);
        std::vector<std::string>& row = block.emplace_back();
        for (std::size_t tab; (tab = line.find('\t')) != std::string_view::npos; line.remove_prefix(tab + 1)) {
            row.emplace_back(line.substr(0, tab));
        }
        row.emplace_back(line);
    }
    const bool moreText = text.find_first_not_of("\t\r\n") != std::string_view::npos;
    while (!moreText && !block.empty() && block.back() == std::vector<std::string>{""}) block.pop_back();
    if (!block.empty() && IsHeaderRow(block.front())) block.erase(block.begin());
    if (moreText || block.size() > static_cast<std::size_t>(LevelCount)) {
        return Status::Fail("The pasted rows reach past level 99.");
    }
    return block;
}

std::string FormatTabSeparated(const TextBlock& block) {
    std::string text;
    for (const auto& row : block) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0) text += '\t';
            text += row[column];
        }
        text += '\n';
    }
    return text;
}

Result<std::vector<CellEdit>> CellsOfBlock(const TextBlock& block, CharacterId character, int levelIndex,
                                           StatField field) {
    std::vector<CellEdit> cells;
    const int firstColumn = static_cast<int>(field);
    for (std::size_t row = 0; row < block.size(); ++row) {
        const int level = levelIndex + static_cast<int>(row);
        if (level >= LevelCount) return Status::Fail("The pasted rows reach past level 99.");
        const std::string at = "Level " + std::to_string(level + 1) + " ";
        for (std::size_t column = 0; column < block[row].size(); ++column) {
            const std::string& text = block[row][column];
            const std::size_t index = firstColumn + column;
            if (index >= StatFields.size()) return Status::Fail("The pasted columns reach past Wisdom.");
            const StatField target = StatFields[index].field;
            if (target == StatField::MP && !TableOf(character).HasMP) {
                if (text.empty()) continue;
                return Status::Fail(at + "MP: the Hero has no MP.");
            }
            const auto value = ParseField(target, text);
            if (!value) return Status::Fail(at + WholeNumberRule(target));
            cells.push_back({level, target, *value});
        }
    }
    return cells;
}

Result<std::vector<RecordWrite>> PrepareChange(const RomFile& file, CharacterId character,
                                               const std::vector<CellEdit>& cells) {
    std::map<int, LevelRecord> records;  // by level index: ascending, each once
    for (const CellEdit& cell : cells) records.emplace(cell.levelIndex, LevelRecord{});
    std::vector<RecordWrite> writes;
    for (auto& [level, record] : records) {
        auto read = file.ReadAt(RecordOffset(character, level), LevelRecordSize);
        if (!read) return read.status();
        LevelRecordBytes before{};
        std::copy(read.value().begin(), read.value().end(), before.begin());
        record = DecodeLevelRecord(before);
        for (const CellEdit& cell : cells) {
            if (cell.levelIndex == level) SetField(record, cell.field, cell.value);
        }
        const LevelRecordBytes after = EncodeLevelRecord(AsStored(character, record));
        if (after != before) writes.push_back({character, level, before, after});
    }
    return writes;
}

std::vector<RecordWrite> Reversed(const std::vector<RecordWrite>& writes) {
    std::vector<RecordWrite> back;
    for (const RecordWrite& write : writes)
        back.push_back({write.character, write.levelIndex, write.replacement, *write.expected});
    return back;
}

}  // namespace thornwake
