#include "snes_header.h"

namespace thornwake {

std::uint16_t ImageChecksum(const std::vector<std::uint8_t>& image) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (i >= ChecksumComplementOffset && i < ChecksumOffset + 2) continue;
        sum += image[i];
    }
    // The four checksum bytes count as FF FF 00 00.
    if (image.size() >= ChecksumOffset + 2) sum += 0xFF + 0xFF;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

void StoreChecksum(std::vector<std::uint8_t>& image) {
    const std::uint16_t checksum = ImageChecksum(image);
    const auto complement = static_cast<std::uint16_t>(~checksum);
    image[ChecksumComplementOffset] = complement & 0xFF;
    image[ChecksumComplementOffset + 1] = complement >> 8;
    image[ChecksumOffset] = checksum & 0xFF;
    image[ChecksumOffset + 1] = checksum >> 8;
}

}  // namespace thornwake
