#pragma once
// IPS, the patch format modders exchange: "PATCH", then records of a 24-bit
// big-endian offset, a 16-bit big-endian length and that many bytes, then
// "EOF".

#include <cstdint>
#include <vector>

namespace thornwake::cli {

// A patch that turns `before` into `after`, both the bytes of one range of an
// image that starts at `offset`. One record for each run of differing bytes.
// Precondition: both of the same size, the range ending below 16 MiB.
std::vector<std::uint8_t> MakeIpsPatch(std::uint32_t offset, const std::vector<std::uint8_t>& before,
                                       const std::vector<std::uint8_t>& after);

}  // namespace thornwake::cli
