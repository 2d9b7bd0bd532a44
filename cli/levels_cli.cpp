#include "levels_cli.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <exception>
#include <map>
#include <ostream>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "image_access.h"
#include "level_csv.h"

namespace thornwake::cli {
namespace {

std::optional<CharacterId> ParsedCharacter(const std::string& key) {
    return key.empty() ? std::nullopt : CharacterFromKey(key);
}

// An empty name would mean the current folder or standard output to some
// calls; it is always a slip.
const CLI::Validator FileName(
    [](const std::string& name) { return name.empty() ? std::string("the file name is empty") : std::string(); }, "");

// Checked as text, so that nan, inf and words never reach the conversion.
const CLI::Validator WaitSeconds(
    [](const std::string& text) {
        double seconds = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        const bool valid = error == std::errc() && end == text.data() + text.size() && std::isfinite(seconds) &&
                           seconds >= 0 && seconds <= 3600;
        return valid ? std::string() : std::string("a number of seconds from 0 to 3600");
    },
    "FLOAT in [0 - 3600]");

// A first word that names no subcommand: "frob: not a subcommand; ...", not
// CLI11's "A subcommand is required".
std::string UnknownSubcommand(const CLI::App& app) {
    const std::vector<std::string> left = app.remaining();
    if (!app.get_subcommands().empty() || left.empty() || left.front().rfind('-', 0) == 0) {
        return {};
    }
    std::string names;
    const auto subcommands = app.get_subcommands([](const CLI::App*) { return true; });
    for (std::size_t i = 0; i < subcommands.size(); ++i) {
        names += (i == 0 ? "" : i + 1 == subcommands.size() ? " or " : ", ") + subcommands[i]->get_name();
    }
    return left.front() + ": not a subcommand; expected " + names;
}

}  // namespace

int RunLevelsCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{
        "Batch work on the character level tables of a Thornwake ROM image.\n"
        "Every command first applies the editor's size check to the image.",
        "thornwake-levels"};
    app.set_version_flag("--version", "thornwake-levels " THORNWAKE_VERSION_TEXT);
    app.allow_windows_style_options(false);  // "/x" is a path, also on Windows
    app.require_subcommand(1);
    app.fallthrough();  // --wait also after the subcommand
    double waitSeconds = std::chrono::duration<double>(WriterLockPatience).count();
    app.add_option("--wait", waitSeconds,
                   "Seconds a command that writes waits for another program changing the image (default 3)")
        ->check(WaitSeconds);
    const auto characterNames = std::vector<std::string>{"hero", "sprite", "girl"};

    std::string image;
    std::string character;

    CLI::App* show = app.add_subcommand("show", "Print the level tables as aligned text.");
    show->add_option("IMAGE", image, "ROM image file")->required()->check(FileName);
    show->add_option("--character", character, "Only this character: hero, sprite or girl")
        ->check(CLI::IsMember(characterNames, CLI::ignore_case));

    std::string format = "csv";
    std::string outputFile;
    CLI::App* exportCmd = app.add_subcommand("export", "Write every level record of the three characters.");
    exportCmd->add_option("IMAGE", image, "ROM image file")->required()->check(FileName);
    exportCmd->add_option("--format", format, "csv (default) or json")
        ->check(CLI::IsMember({"csv", "json"}, CLI::ignore_case));
    exportCmd->add_option("-o,--output", outputFile, "Write to this file instead of standard output")->check(FileName);
    const std::map<std::string, char> delimiters{{"comma", ','}, {"semicolon", ';'}, {"tab", '\t'}};
    std::string delimiter = "comma";
    CLI::Option* delimiterOption = exportCmd->add_option(
        "--delimiter", delimiter, "Column separator of the CSV: comma (default), semicolon or tab");
    delimiterOption->check(CLI::IsMember(delimiters, CLI::ignore_case));

    std::string inputFile;
    bool dryRun = false;
    CLI::App* importCmd =
        app.add_subcommand("import",
                           "Write the records of a CSV or JSON file (any rows, any order) into the image.\n"
                           "Every row is checked first; if one is bad, nothing is written.\n"
                           "Only records whose values differ from the image's are written.");
    importCmd->add_option("IMAGE", image, "ROM image file")->required()->check(FileName);
    importCmd
        ->add_option("FILE", inputFile,
                     "CSV with the header row of an export, separated by commas, semicolons or tabs,\n"
                     "or the JSON of export --format json")
        ->required()
        ->check(FileName);
    importCmd->add_flag("--dry-run", dryRun, "Print what would change, level by level, and write nothing");

    std::string target;
    CLI::App* max = app.add_subcommand("max",
                                       "Raise every level of a character, or of all three, to the maximum:\n"
                                       "HP 999, MP 99 (the Hero none), every other stat 99.");
    max->add_option("IMAGE", image, "ROM image file")->required()->check(FileName);
    max->add_option("CHARACTER", target, "hero, sprite, girl or all")
        ->required()
        ->check(CLI::IsMember({"hero", "sprite", "girl", "all"}, CLI::ignore_case));

    std::string imageB;
    std::string ipsFile;
    CLI::App* diff = app.add_subcommand("diff", "Print the levels whose records differ, field by field.");
    diff->add_option("IMAGE_A", image, "ROM image file")->required()->check(FileName);
    diff->add_option("IMAGE_B", imageB, "ROM image file")->required()->check(FileName);
    diff->add_option("--ips", ipsFile, "Also write an IPS patch that turns A's level tables into B's")->check(FileName);

    bool fixChecksum = false;
    CLI::App* check = app.add_subcommand(
        "check", "Print the size check's verdict, the internal header and whether its checksum is valid.");
    check->add_option("IMAGE", image, "ROM image file")->required()->check(FileName);
    check->add_flag("--fix-checksum", fixChecksum, "Rewrite the four checksum bytes, and nothing else");

    const auto json = [&] { return CLI::detail::to_lower(format) == "json"; };
    try {
        app.parse(argc, argv);
        if (json() && delimiterOption->count() > 0) {
            throw CLI::ValidationError("--delimiter", "separates CSV columns; JSON has none");
        }
    } catch (const CLI::Success& e) {  // --help, --version
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        if (const std::string unknown = UnknownSubcommand(app); !unknown.empty()) {
            app.exit(CLI::ValidationError(unknown), out, err);
        } else {
            app.exit(e, out, err);
        }
        return ExitUsage;
    }

    const Streams io{out, err, std::chrono::milliseconds(static_cast<long long>(waitSeconds * 1000))};
    int status = ExitFailure;
    try {
        if (show->parsed()) {
            status = Show(io, image, ParsedCharacter(character));
        } else if (exportCmd->parsed()) {
            status = Export(io, image, json() ? ExportFormat::Json : ExportFormat::Csv,
                            delimiters.at(CLI::detail::to_lower(delimiter)), outputFile);
        } else if (importCmd->parsed()) {
            status = Import(io, image, inputFile, dryRun);
        } else if (max->parsed()) {
            status = Max(io, image, ParsedCharacter(CLI::detail::to_lower(target) == "all" ? "" : target));
        } else if (diff->parsed()) {
            status = Diff(io, image, imageB, ipsFile);
        } else {
            status = Check(io, image, fixChecksum);
        }
    } catch (const std::exception& e) {
        err << "thornwake-levels: " << e.what() << "\n";
        return ExitFailure;
    }
    // An export into a full disk must not look like a success.
    if (!out.flush() && status == ExitOk) {
        err << "thornwake-levels: cannot write to standard output\n";
        return ExitFailure;
    }
    return status;
}

}  // namespace thornwake::cli
