#pragma once
// Helpers for the ROM image tests. They look at files with plain streams, never
// through the code under test, so a test compares the program's view of a file
// with the bytes that are really there.

#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sample_image.h"

namespace thornwake::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    Bytes bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// The sample image, made once per test program.
inline const Bytes& SampleImage() {
    static const Bytes image = MakeSampleImage();
    return image;
}

inline Bytes BytesAt(const std::string& path, std::uint64_t offset, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    Bytes bytes(count);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

inline void WriteWholeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    QVERIFY2(out.good(), path.c_str());
}

inline void PokeBytes(const std::string& path, std::uint64_t offset, const Bytes& bytes) {
    std::fstream io(path, std::ios::binary | std::ios::in | std::ios::out);
    io.seekp(static_cast<std::streamoff>(offset));
    io.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    QVERIFY2(io.good(), path.c_str());
}

inline std::uint64_t FileSize(const std::string& path) { return std::filesystem::file_size(path); }

// A scratch folder per test object, removed with it.
class Scratch {
public:
    Scratch() { QVERIFY(dir_.isValid()); }
    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }

    // The sample image, written to `name`.
    std::string Sample(const char* name = "sample.sfc") const {
        const std::string path = Path(name);
        WriteWholeFile(path, SampleImage());
        return path;
    }

    // The first `length` bytes of the sample image (zeros past its end).
    std::string SamplePrefix(const char* name, std::uint64_t length) const {
        Bytes image = SampleImage();
        image.resize(length);
        const std::string path = Path(name);
        WriteWholeFile(path, image);
        return path;
    }

private:
    QTemporaryDir dir_;
};

// Hex dump of a few bytes for failure messages.
inline QByteArray Hex(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()))
        .toHex(' ');
}

}  // namespace thornwake::testing
