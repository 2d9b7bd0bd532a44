// thornwake-sample-image OUTPUT: writes the made-up 2 MiB sample image.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "os_file.h"
#include "sample_image.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = thornwake::os::ProgramArguments(argc, argv);
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "thornwake-sample-image");
        return 1;
    }
    const std::string& path = arguments[1];
    const std::vector<std::uint8_t> image = thornwake::MakeSampleImage();

    std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
    if (!out) {
        std::fprintf(stderr, "Cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "Cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
