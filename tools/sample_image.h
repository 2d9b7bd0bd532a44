#pragma once
// A made-up 2 MiB HiROM image to try the editor and to test it with: varied
// level tables for the three characters, pseudo-random filler elsewhere and a
// valid internal header. Built from a formula, the same bytes every time.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace thornwake {

constexpr std::size_t SampleImageSize = 2097152;  // 2 MiB

std::vector<std::uint8_t> MakeSampleImage();

}  // namespace thornwake
