#pragma once
// The internal header of a 2 MiB HiROM image and its checksum.

#include <cstdint>
#include <vector>

namespace thornwake {

constexpr std::uint32_t HeaderOffset = 0xFFC0;  // 21-byte title
constexpr std::uint32_t HeaderTitleLength = 21;
constexpr std::uint32_t HeaderMapModeOffset = 0xFFD5;
constexpr std::uint32_t HeaderROMSizeOffset = 0xFFD7;
constexpr std::uint32_t ChecksumComplementOffset = 0xFFDC;  // little-endian
constexpr std::uint32_t ChecksumOffset = 0xFFDE;            // little-endian

// Sum of all bytes modulo 65536, the four checksum bytes counted as FF FF 00 00.
std::uint16_t ImageChecksum(const std::vector<std::uint8_t>& image);

// Stores the checksum and its complement into the image (which must reach
// past 0xFFDF).
void StoreChecksum(std::vector<std::uint8_t>& image);

}  // namespace thornwake
