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

std::vector<std::uint8_t> MakeIpsPatch(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after,
                                       std::uint32_t begin, std::uint32_t end) {
    std::vector<std::uint8_t> patch{'P', 'A', 'T', 'C', 'H'};
    end = static_cast<std::uint32_t>(std::min<std::size_t>({end, before.size(), after.size()}));
    std::uint32_t i = begin;
    while (i < end) {
        if (before[i] == after[i]) {
            ++i;
            continue;
        }
        std::uint32_t start = i;
        while (i < end && before[i] != after[i] && i - start < MaxRecordLength - 1) {
            ++i;
        }
        if (start == EofMarkerOffset) {
            --start;  // the byte before it is in every image that reaches this far
        }
        AppendRecord(patch, start, after.data() + start, i - start);
    }
    patch.insert(patch.end(), {'E', 'O', 'F'});
    return patch;
}

}  // namespace thornwake::cli
