#pragma once
// Helpers for the ROM image tests. They look at files with plain streams, never
// through the code under test, so a test compares the program's view of a file
// with the bytes that are really there.

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "level_tables.h"
#include "maximize.h"
#include "rom_file.h"
#include "sample_image.h"

namespace thornwake::testing {

using Bytes = std::vector<std::uint8_t>;

// Where the level tables lie, written out here rather than taken from the program.
constexpr std::uint64_t HeroBase = 0x104210, GirlBase = 0x104528, SpriteBase = 0x104840,
                        TablesEnd = 0x104B58;
struct Table {
    CharacterId character;
    const char* name;
    std::uint64_t base;
};
constexpr Table Tables[] = {
    {CharacterId::Hero, "Hero", HeroBase}, {CharacterId::Girl, "Girl", GirlBase}, {CharacterId::Sprite, "Sprite", SpriteBase}};

struct Operation {
    const char* name;
    Result<MaxOutcome> (*run)(RomFile&, const ProgressCallback&);
    std::uint64_t begin, end;  // the records it writes
    int callbacks;
};
inline const Operation Operations[] = {{"MaxHero", MaxHero, HeroBase, GirlBase, 99},
                                       {"MaxGirl", MaxGirl, GirlBase, SpriteBase, 99},
                                       {"MaxSprite", MaxSprite, SpriteBase, TablesEnd, 99},
                                       {"MaxAll", MaxAll, HeroBase, TablesEnd, 396}};

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline Bytes Slice(const Bytes& bytes, std::uint64_t at, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                 bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

// The sample image, made once per test program.
inline const Bytes& SampleImage() {
    static const Bytes image = MakeSampleImage();
    return image;
}

// A scratch folder per test object, removed with it.
class Scratch {
public:
    Scratch() { QVERIFY(dir_.isValid()); }
    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }

    std::string Write(const char* name, const Bytes& bytes) const {
        const std::string path = Path(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.good()) qFatal("cannot write %s", path.c_str());
        return path;
    }

    // The sample image, or its first `length` bytes (zeros past its end).
    std::string Sample(const char* name = "sample.sfc", std::uint64_t length = SampleImageSize) const {
        Bytes image = SampleImage();
        image.resize(length);
        return Write(name, image);
    }

private:
    QTemporaryDir dir_;
};

// Hex dump of a few bytes for failure messages.
inline QByteArray Hex(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())).toHex(' ');
}

}  // namespace thornwake::testing
