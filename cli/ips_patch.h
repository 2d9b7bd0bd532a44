#pragma once
// IPS, the patch format modders exchange: "PATCH", then records of a 24-bit
// big-endian offset, a 16-bit big-endian length and that many bytes, then
// "EOF".

#include <cstdint>
#include <vector>

namespace thornwake::cli {

// A patch that turns the bytes begin .. end - 1 of `before` into those of
// `after`, both whole images (an index is an offset in the file), at least
// `end` bytes long; `end` at most 16 MiB. One record for each run of differing
// bytes. A record that would start at 0x454F46, whose offset bytes read as the
// end marker "EOF", starts one byte earlier with that byte of `after`.
std::vector<std::uint8_t> MakeIpsPatch(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after,
                                       std::uint32_t begin, std::uint32_t end);

}  // namespace thornwake::cli
