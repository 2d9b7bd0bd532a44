// thornwake-sample-image [--force] OUTPUT: writes the made-up 2 MiB sample image.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

#include <CLI/CLI.hpp>

#include "os_file.h"
#include "sample_image.h"

namespace {

constexpr int ExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a made-up 2 MiB ROM image with varied level tables, to try the Thornwake editor on.",
                 "thornwake-sample-image"};
    app.allow_windows_style_options(false);
    std::string path;
    bool force = false;
    app.add_option("OUTPUT", path, "The image file to write")
        ->required()
        ->check(
            CLI::Validator([](const std::string& name) { return name.empty() ? "the file name is empty" : ""; }, ""));
    app.add_flag("--force", force, "Replace OUTPUT if it exists");
    const std::vector<std::string> arguments = thornwake::os::ProgramArguments(argc, argv);
    thornwake::os::UseBinaryStandardStreams();
    try {
        app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend() - 1));
    } catch (const CLI::Success& e) {  // --help
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return ExitUsage;
    }

    const std::filesystem::path file = std::filesystem::u8path(path);
    std::error_code error;
    // Without --force an existing file, perhaps an image being edited, is left alone.
    if (!force && std::filesystem::symlink_status(file, error).type() != std::filesystem::file_type::not_found) {
        std::cerr << "Cannot write " << path << ": " << std::strerror(EEXIST) << "; give --force to replace it\n";
        return 1;
    }
    const std::vector<std::uint8_t> image = thornwake::MakeSampleImage();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "Cannot write " << path << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
        std::cerr << "Cannot write " << path << ": " << std::strerror(errno) << "\n";
        if (!force) std::filesystem::remove(file, error);  // made by this run: no half image left behind
        return 1;
    }
    return 0;
}
