// thornwake-sample-image OUTPUT: writes the made-up 2 MiB sample image.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sample_image.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "thornwake-sample-image");
        return 1;
    }
    const char* path = argv[1];
    const std::vector<std::uint8_t> image = thornwake::MakeSampleImage();

    std::FILE* out = std::fopen(path, "wb");
    if (!out) {
        std::fprintf(stderr, "Cannot write %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), out) == image.size();
    const int writeErrno = errno;
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "Cannot write %s: %s\n", path,
                     std::strerror(written ? errno : writeErrno));
        return 1;
    }
    return 0;
}
