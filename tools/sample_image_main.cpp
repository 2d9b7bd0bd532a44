// thornwake-sample-image [--force] OUTPUT: writes the made-up 2 MiB sample image.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "sample_image.h"

namespace {

constexpr int ExitUsage = 2;

// Every byte of the image into `fd`; false with errno set otherwise.
bool WriteAll(int fd, const std::vector<std::uint8_t>& image) {
    for (std::size_t done = 0; done < image.size();) {
        const ssize_t written = ::write(fd, image.data() + done, image.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errno = written == 0 ? EIO : errno;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes a made-up 2 MiB ROM image with varied level tables, to try the Thornwake editor on.",
                 "thornwake-sample-image"};
    std::string path;
    bool force = false;
    app.add_option("OUTPUT", path, "The image file to write")
        ->required()
        ->check(CLI::Validator([](const std::string& name) { return name.empty() ? "the file name is empty" : ""; },
                               ""));
    app.add_flag("--force", force, "Replace OUTPUT if it exists");
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return ExitUsage;
    }

    const std::vector<std::uint8_t> image = thornwake::MakeSampleImage();
    // Without --force an existing file, perhaps an image being edited, is left alone.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (force ? O_TRUNC : O_EXCL), 0666);
    if (fd < 0) {
        const int reason = errno;
        std::cerr << "Cannot write " << path << ": " << std::strerror(reason)
                  << (reason == EEXIST ? "; give --force to replace it" : "") << "\n";
        return 1;
    }
    const bool written = WriteAll(fd, image);
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        std::cerr << "Cannot write " << path << ": " << std::strerror(written ? errno : writeError) << "\n";
        if (!force) {
            ::unlink(path.c_str());  // made by this run: no half image left behind
        }
        return 1;
    }
    return 0;
}
