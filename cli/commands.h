#pragma once
// The subcommands of thornwake-levels. Each returns its exit status, writes
// its results to `out` and its messages, naming the file and the line, to
// `err`. Commands that only read open the image for reading only; those that
// write hold the writer's lock on it from before their first read to the end.

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>

#include "level_tables.h"

namespace thornwake::cli {

struct Streams {
    std::ostream& out;
    std::ostream& err;
    // How long a writing command waits for another program's lock on the image.
    std::chrono::milliseconds patience = WriterLockPatience;
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

// No character: all three, one after another in file order (Hero, Girl,
// Sprite), each complete before the next starts.
int Max(const Streams& io, const std::string& image, std::optional<CharacterId> character);

// An empty `ipsFile` writes no patch. An export or patch file is replaced
// whole or not at all.
int Diff(const Streams& io, const std::string& imageA, const std::string& imageB, const std::string& ipsFile);

int Check(const Streams& io, const std::string& image, bool fixChecksum);

}  // namespace thornwake::cli
