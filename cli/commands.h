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
// An empty `outputFile` means standard output. `delimiter` separates the
// columns of a CSV: ',', ';' or a tab.
int Export(const Streams& io, const std::string& image, ExportFormat format, char delimiter,
           const std::string& outputFile);

// Writes the records of a CSV or JSON file (as ReadImportRows reads it) whose
// values differ from the image's, each in one write of its 8 bytes; with
// `dryRun` it lists them and writes nothing.
int Import(const Streams& io, const std::string& image, const std::string& inputFile, bool dryRun);

// No character: all three.
int Max(const Streams& io, const std::string& image, std::optional<CharacterId> character);

// An empty `ipsFile` writes no patch.
int Diff(const Streams& io, const std::string& imageA, const std::string& imageB, const std::string& ipsFile);

int Check(const Streams& io, const std::string& image, bool fixChecksum);

}  // namespace thornwake::cli
