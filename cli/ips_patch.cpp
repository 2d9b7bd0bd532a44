#include "ips_patch.h"

#include <algorithm>

namespace thornwake::cli {
namespace {

// A record at this offset would read as the end marker "EOF".
constexpr std::uint32_t EofMarkerOffset = 0x454F46;
constexpr std::size_t MaxRecordLength = 0xFFFF;

void AppendRecord(std::vector<std::uint8_t>& patch, std::uint32_t offset, const std::uint8_t* bytes,
                  std::size_t length) {
    patch.push_back(static_cast<std::uint8_t>(offset >> 16));
    patch.push_back(static_cast<std::uint8_t>(offset >> 8));
    patch.push_back(static_cast<std::uint8_t>(offset));
    patch.push_back(static_cast<std::uint8_t>(length >> 8));
    patch.push_back(static_cast<std::uint8_t>(length));
    patch.insert(patch.end(), bytes, bytes + length);
}

}  // namespace

std::vector<std::uint8_t> MakeIpsPatch(std::uint32_t offset, const std::vector<std::uint8_t>& before,
                                       const std::vector<std::uint8_t>& after) {
    std::vector<std::uint8_t> patch{'P', 'A', 'T', 'C', 'H'};
    const std::size_t size = std::min(before.size(), after.size());
    std::size_t i = 0;
    while (i < size) {
        if (before[i] == after[i]) {
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < size && before[i] != after[i] && i - start < MaxRecordLength - 1) {
            ++i;
        }
        if (offset + start == EofMarkerOffset && start > 0) {
            --start;  // begin one (unchanged) byte earlier
        }
        AppendRecord(patch, static_cast<std::uint32_t>(offset + start), after.data() + start, i - start);
    }
    patch.insert(patch.end(), {'E', 'O', 'F'});
    return patch;
}

}  // namespace thornwake::cli
