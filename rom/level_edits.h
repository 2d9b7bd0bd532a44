#pragma once
// Changes to many cells of a character's level table at once: values along a
// curve, blocks of tab-separated text as spreadsheets copy them, and the
// record-by-record change that can be written forwards and backwards.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "level_tables.h"
#include "record_writes.h"
#include "rom_file.h"
#include "status.h"

namespace thornwake {

// A new value for one field of one level.
struct CellEdit {
    int levelIndex;
    StatField field;
    int value;
};

enum class Curve { Linear, EaseIn, EaseOut, SCurve };
struct CurveInfo {
    Curve curve;
    const char* name;
};
constexpr std::array<CurveInfo, 4> Curves = {{
    {Curve::Linear, "Linear"},
    {Curve::EaseIn, "Ease in"},
    {Curve::EaseOut, "Ease out"},
    {Curve::SCurve, "S-curve"},
}};

// `count` values, the i-th at t = i / (count - 1) going from `first` (t = 0)
// to `last` (t = 1): Linear t, Ease in t^2, Ease out 1-(1-t)^2, S-curve
// 3t^2-2t^3. Exact arithmetic, each value rounded half to even, so every
// value lies between `first` and `last`. A count of 1 gives {first}.
std::vector<int> CurveValues(Curve curve, int first, int last, int count);
// The value at each of `levelIndexes` (ascending, not empty) on the curve that
// runs from `first` at the first of them to `last` at the last: levels left
// out of a selection keep their place on the curve.
std::vector<int> CurveValuesAt(Curve curve, int first, int last, const std::vector<int>& levelIndexes);

// Tab-separated text as spreadsheets copy it.
using TextBlock = std::vector<std::vector<std::string>>;
std::string FormatTabSeparated(const TextBlock& block);

// The most text a paste reads: a header row and 99 rows of seven cells, each
// cell with its separator at most 64 bytes. Anything longer cannot fit.
constexpr std::size_t MaxPastedText = (LevelCount + 1) * StatFields.size() * 64;

// The block of a pasted text: rows end at "\n" or "\r\n", cells are split at
// tabs. Tabs at the end of a row and empty lines at the end of the text are
// ignored, and a first row of column names ("HP", "Strength", "str", ...,
// blanks around them ignored) is skipped, as spreadsheets copy a header.
// Refused at once, before any splitting, when the text is longer than
// MaxPastedText; splitting stops as soon as the rows reach past 99.
Result<TextBlock> ParsePastedBlock(std::string_view text);

// The cells `block` sets when its top left cell lands on `levelIndex`,
// `field` of `character`'s table, each text read with ParseField. An empty
// text in the Hero's MP column is skipped: a copied Hero row has one. Refused
// as a whole, the message naming the first bad cell in reading order: a cell
// past level 99 or past Wisdom, a text that does not parse, any other text in
// the Hero's MP column.
Result<std::vector<CellEdit>> CellsOfBlock(const TextBlock& block, CharacterId character, int levelIndex,
                                           StatField field);

// Reads the 8 stored bytes of each record `cells` touch and applies the
// cells: a write of each record whose bytes change, in ascending level order,
// expecting the bytes read and replacing them with the new ones (the Hero's MP
// byte 0, as every record write stores it). A failed read is the error.
Result<std::vector<RecordWrite>> PrepareChange(const RomFile& file, CharacterId character,
                                               const std::vector<CellEdit>& cells);

// The writes that take `writes` back: each expects what it wrote and restores
// what it replaced.
std::vector<RecordWrite> Reversed(const std::vector<RecordWrite>& writes);

}  // namespace thornwake
