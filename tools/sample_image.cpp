#include "sample_image.h"

#include <algorithm>
#include <cstring>

#include "level_tables.h"
#include "snes_header.h"

namespace thornwake {
namespace {

// xorshift64*: small, fast and the same on every platform.
class Filler {
public:
    explicit Filler(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }

private:
    std::uint64_t state_;
};

struct Growth {
    int hpBase, hpPerLevel, hpCurve;  // HP = base + perLevel*i + i*i/curve
    int mpBase, mpPerLevel;           // MP over 16 levels
    int stats[5][2];                  // STR..WIS: base, gain over 10 levels
};

// Hero: strong and tough, no magic. Girl: the healer, high magic and wisdom.
// Sprite: quick and clever.
Growth GrowthOf(CharacterId character) {
    switch (character) {
        case CharacterId::Hero: return {48, 9, 14, 0, 0, {{12, 19}, {9, 14}, {11, 18}, {4, 7}, {5, 8}}};
        case CharacterId::Girl: return {36, 7, 18, 8, 21, {{7, 11}, {10, 15}, {8, 12}, {9, 16}, {13, 21}}};
        case CharacterId::Sprite: break;
    }
    return {30, 6, 20, 6, 19, {{6, 10}, {14, 20}, {7, 11}, {12, 20}, {8, 14}}};
}

LevelRecord SampleRecord(CharacterId character, int i, Filler& wobble) {
    const Growth g = GrowthOf(character);
    LevelRecord record;
    record.HP = static_cast<std::int16_t>(g.hpBase + g.hpPerLevel * i + i * i / g.hpCurve +
                                          static_cast<int>(wobble.Next() % 5));
    record.MP = static_cast<std::uint8_t>(
        std::min(255, g.mpBase + g.mpPerLevel * i / 16 + static_cast<int>(wobble.Next() % 3)));
    std::uint8_t* stats[5] = {&record.STR, &record.AGI, &record.CON, &record.INTL, &record.WIS};
    for (int s = 0; s < 5; ++s) {
        const int value = g.stats[s][0] + g.stats[s][1] * i / 10 + static_cast<int>(wobble.Next() % 4);
        *stats[s] = static_cast<std::uint8_t>(std::min(255, value));
    }
    return record;
}

void StoreRecord(std::vector<std::uint8_t>& image, std::uint64_t offset, const LevelRecord& r, std::uint8_t mpByte) {
    const auto hp = static_cast<std::uint16_t>(r.HP);
    const std::uint8_t bytes[LevelRecordSize] = {static_cast<std::uint8_t>(hp & 0xFF),
                                                 static_cast<std::uint8_t>(hp >> 8),
                                                 mpByte,
                                                 r.STR,
                                                 r.AGI,
                                                 r.CON,
                                                 r.INTL,
                                                 r.WIS};
    std::copy(std::begin(bytes), std::end(bytes), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

void StoreHeader(std::vector<std::uint8_t>& image) {
    const char title[] = "THORNWAKE";
    std::fill_n(image.begin() + HeaderOffset, HeaderTitleLength, static_cast<std::uint8_t>(' '));
    std::copy(title, title + std::strlen(title), image.begin() + HeaderOffset);
    image[HeaderMapModeOffset] = 0x31;      // HiROM, fast
    image[HeaderMapModeOffset + 1] = 0x02;  // ROM + RAM + battery
    image[HeaderROMSizeOffset] = 0x0B;      // 2 MiB
    image[HeaderROMSizeOffset + 1] = 0x03;  // 8 KiB of save RAM
    image[HeaderROMSizeOffset + 2] = 0x01;  // North America
    image[HeaderROMSizeOffset + 3] = 0x33;  // licensee in the extended header
    image[HeaderROMSizeOffset + 4] = 0x00;  // version 1.0
    // Emulation-mode reset vector into bank 0's upper half.
    image[0xFFFC] = 0x00;
    image[0xFFFD] = 0x80;
}

}  // namespace

std::vector<std::uint8_t> MakeSampleImage() {
    std::vector<std::uint8_t> image(SampleImageSize);
    Filler filler(0x7468'6F72'6E77'616BULL);  // "thornwak"
    for (std::size_t i = 0; i < image.size(); i += 8) {
        std::uint64_t word = filler.Next();
        for (int b = 0; b < 8; ++b, word >>= 8) {
            image[i + b] = static_cast<std::uint8_t>(word);
        }
    }

    Filler wobble(99);
    for (CharacterId character : AllCharacters) {
        for (int i = 0; i < LevelCount; ++i) {
            const LevelRecord record = SampleRecord(character, i, wobble);
            std::uint8_t mpByte = record.MP;
            if (character == CharacterId::Hero) {
                // The game leaves odd bytes in the Hero's unused MP slot now and then.
                mpByte = (i % 7 == 3) ? static_cast<std::uint8_t>(0x10 + i) : 0;
            }
            StoreRecord(image, TableOf(character).BaseOffset + std::uint64_t{8} * i, record, mpByte);
        }
    }

    StoreHeader(image);
    StoreChecksum(image);
    return image;
}

}  // namespace thornwake
