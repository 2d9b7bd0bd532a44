#pragma once
// The subcommands of thornwake-levels. Each returns its exit status, writes
// its results to `out` and its messages, naming the file and the line, to
// `err`.

#include <iosfwd>
#include <optional>
#include <string>

#include "level_tables.h"

namespace thornwake::cli {

struct Streams {
    std::ostream& out;
    std::ostream& err;
};

int Show(const Streams& io, const std::string& image, std::optional<CharacterId> character);

enum class ExportFormat { Csv, Json };
// An empty `outputFile` means standard output.
int Export(const Streams& io, const std::string& image, ExportFormat format, const std::string& outputFile);

int Import(const Streams& io, const std::string& image, const std::string& csvFile, bool dryRun);

// No character: all three.
int Max(const Streams& io, const std::string& image, std::optional<CharacterId> character);

// An empty `ipsFile` writes no patch.
int Diff(const Streams& io, const std::string& imageA, const std::string& imageB, const std::string& ipsFile);

int Check(const Streams& io, const std::string& image, bool fixChecksum);

}  // namespace thornwake::cli
