#include "commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>

#include "image_access.h"
#include "ips_patch.h"
#include "level_csv.h"
#include "maximize.h"
#include "output_file.h"
#include "record_writes.h"
#include "snes_header.h"

namespace thornwake::cli {
namespace {

constexpr std::uint64_t HiROMImageSize = 2097152;  // the size the checksum rule is for
constexpr std::size_t ListedInputErrors = 20;      // then "... and N more"

int Report(const Streams& io, const Status& failure) {
    io.err << failure.message() << "\n";
    return ExitFailure;
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string Counted(int count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// The whole file, refused unread when it is larger than any import can be.
// A FIFO is read until its writer closes it.
Result<std::string> ReadInputFile(const std::string& path) {
    if (const Result<os::FileInfo> named = os::InfoAt(path); !named) {
        return Status::Fail(path + ": " + named.message());
    }
    const std::filesystem::path named = std::filesystem::u8path(path);  // on Windows not the ANSI code page
    std::error_code error;
    if (std::filesystem::is_directory(named, error)) {
        return Status::Fail(path + ": is a directory");
    }
    std::ifstream in(named, std::ios::binary);
    std::string text(ImportSizeLimit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad() || !in.is_open()) {
        return Status::Fail(path + ": cannot read: " + std::strerror(errno));
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > ImportSizeLimit) {
        return Status::Fail(path + ": is larger than 1 MiB, far more than level records take (an export of all " +
                            std::to_string(3 * LevelCount) + " is about 10 KB); check that it is the file you meant");
    }
    return text;
}

Result<std::vector<LevelRow>> ReadRows(const Image& image, const std::vector<RecordId>& ids) {
    if (Status inside = image.CheckInside(ids); !inside) {
        return inside;
    }
    std::vector<LevelRow> rows;
    for (const RecordId& id : ids) {
        Result<LevelRecord> record = image.ReadRecord(id);
        if (!record) {
            return record.status();
        }
        rows.push_back({id, record.value()});
    }
    return rows;
}

std::string Column(std::string_view text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + std::string(text);
}

void PrintTable(std::ostream& out, CharacterId character, const std::vector<LevelRow>& rows) {
    std::vector<const StatFieldInfo*> shown;
    for (const StatFieldInfo& info : StatFields) {
        if (info.field != StatField::MP || TableOf(character).HasMP) {
            shown.push_back(&info);
        }
    }
    const auto width = [](const StatFieldInfo* info) { return std::max<std::size_t>(std::strlen(info->name), 6); };
    out << CharacterName(character) << "\nLevel";
    for (const StatFieldInfo* info : shown) {
        out << "  " << Column(info->name, width(info));
    }
    out << "\n";
    for (const LevelRow& row : rows) {
        if (row.id.character != character) {
            continue;
        }
        out << Column(std::to_string(row.id.levelIndex + 1), 5);
        for (const StatFieldInfo* info : shown) {
            out << "  " << Column(std::to_string(GetField(row.record, info->field)), width(info));
        }
        out << "\n";
    }
}

// A run of record writes that did not end well: the system's message, then
// what reached the file.
int ReportWrites(const Streams& io, const Image& image, const std::vector<RecordWrite>& writes,
                 const WriteReport& report, const std::string& advice = {}) {
    io.err << report.error.message() << "\n"
           << image.Path() << ": " << WhatReachedTheFile(image.File(), writes, report) << advice << "\n";
    return ExitFailure;
}

std::string Printable(const std::vector<std::uint8_t>& image, std::uint32_t offset, std::uint32_t length) {
    std::string text;
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint8_t c = image[offset + i];
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

std::string MapModeName(std::uint8_t mode) {
    const char* layout = nullptr;
    switch (mode & 0x0F) {
        case 0x0: layout = "LoROM"; break;
        case 0x1: layout = "HiROM"; break;
        case 0x2: layout = "LoROM, S-DD1"; break;
        case 0x3: layout = "LoROM, SA-1"; break;
        case 0x5: layout = "ExHiROM"; break;
        default: return "unknown";
    }
    if ((mode & 0xE0) != 0x20) {
        return "unknown";
    }
    return std::string(layout) + ((mode & 0x10) ? ", FastROM" : "");
}

std::string RomSizeName(std::uint8_t code) {
    if (code < 1 || code > 13) {
        return "unknown";
    }
    const unsigned kib = 1u << code;
    return kib >= 1024 ? std::to_string(kib / 1024) + " MiB" : std::to_string(kib) + " KiB";
}

}  // namespace

int Show(const Streams& io, const std::string& path, std::optional<CharacterId> character) {
    Image image;
    if (Status opened = image.Open(path, OpenMode::ReadOnly); !opened) {
        return Report(io, opened);
    }
    const auto rows = ReadRows(image, character ? RecordsOf(*character) : AllRecords());
    if (!rows) {
        return Report(io, rows.status());
    }
    bool first = true;
    for (CharacterId shown : AllCharacters) {
        if (!character || *character == shown) {
            io.out << (first ? "" : "\n");
            PrintTable(io.out, shown, rows.value());
            first = false;
        }
    }
    return ExitOk;
}

int Export(const Streams& io, const std::string& path, ExportFormat format, char delimiter,
           const std::string& outputFile) {
    Image image;
    if (Status opened = image.Open(path, OpenMode::ReadOnly); !opened) {
        return Report(io, opened);
    }
    const auto rows = ReadRows(image, AllRecords());
    if (!rows) {
        return Report(io, rows.status());
    }
    const std::string text =
        format == ExportFormat::Csv ? ExportCsv(rows.value(), delimiter) : ExportJson(rows.value());
    if (outputFile.empty()) {
        io.out << text;
        return ExitOk;
    }
    if (Status distinct = CheckNotSameFile(outputFile, {path}); !distinct) {
        return Report(io, distinct);
    }
    if (Status written = ReplaceFile(outputFile, text); !written) {
        return Report(io, written);
    }
    return ExitOk;
}

int Import(const Streams& io, const std::string& path, const std::string& inputFile, bool dryRun) {
    // The input first: a FIFO whose writer takes its time, or a bad row, must
    // not keep other writers from the image meanwhile.
    const Result<std::string> text = ReadInputFile(inputFile);
    if (!text) {
        return Report(io, text.status());
    }
    ImportRows input = ReadImportRows(text.value());
    if (!input.errors.empty()) {
        const std::size_t shown = std::min(input.errors.size(), ListedInputErrors);
        for (std::size_t i = 0; i < shown; ++i) {
            io.err << inputFile << input.errors[i].place << ": " << input.errors[i].message << "\n";
        }
        if (input.errors.size() > shown) {
            io.err << "... and " << input.errors.size() - shown << " more\n";
        }
        io.err << inputFile << ": " << Counted(static_cast<int>(input.errors.size()), "error")
               << "; nothing written to " << path << "\n";
        return ExitFailure;
    }
    Image image;
    if (Status opened = image.Open(path, dryRun ? OpenMode::ReadOnly : OpenMode::ReadWrite, io.patience); !opened) {
        return Report(io, opened);
    }

    std::vector<ImportRow>& rows = input.rows;
    std::stable_sort(rows.begin(), rows.end(), [](const ImportRow& a, const ImportRow& b) {
        return std::make_pair(a.id.character, a.id.levelIndex) < std::make_pair(b.id.character, b.id.levelIndex);
    });
    std::vector<RecordId> ids;
    for (const ImportRow& row : rows) {
        ids.push_back(row.id);
    }
    if (Status inside = image.CheckInside(ids); !inside) {
        return Report(io, inside);
    }

    // Compare everything first, so that a failed read leaves the image
    // untouched. A row differs when the editor would show other values: the
    // byte in the Hero's unused MP slot is no difference, but a changed Hero
    // record is written as the editor writes it, that byte 0.
    struct Change {
        const ImportRow* row;
        RecordBytes before, after;
    };
    std::vector<Change> changes;
    for (const ImportRow& row : rows) {
        const Result<RecordBytes> stored = image.ReadRecordBytes(row.id);
        if (!stored) {
            return Report(io, stored.status());
        }
        const LevelRecord wanted = AsStored(row.id.character, row.record);
        if (AsStored(row.id.character, DecodeLevelRecord(stored.value())) != wanted) {
            changes.push_back({&row, stored.value(), EncodeLevelRecord(wanted)});
        }
    }
    const int changed = static_cast<int>(changes.size());
    if (dryRun) {
        for (const Change& change : changes) {
            io.out << RecordName(change.row->id) << ": " << DescribeChanges(change.before, change.after) << "\n";
        }
        io.out << Counted(changed, "record") << " would change; nothing written.\n";
        return ExitOk;
    }

    // Each record in one positioned write of its 8 bytes, so that an
    // interrupted import leaves every record old or new, and one flush.
    std::vector<RecordWrite> writes;
    for (const Change& change : changes) {
        writes.push_back({change.row->id.character, change.row->id.levelIndex, change.before, change.after});
    }
    const WriteReport report = WriteRecords(image.File(), writes);
    if (report.end == WriteEnd::Failed && report.recordsWritten < writes.size()) {
        io.err << inputFile << changes[report.recordsWritten].row->place << ": "
               << RecordName(changes[report.recordsWritten].row->id) << ": could not be written\n";
    }
    if (changed > 0 && !report.ok()) {
        return ReportWrites(io, image, writes, report, " Import the file again once the cause is mended.");
    }
    io.out << Counted(changed, "record") << " changed.\n";
    return ExitOk;
}

int Max(const Streams& io, const std::string& path, std::optional<CharacterId> character) {
    Image image;
    if (Status opened = image.Open(path, OpenMode::ReadWrite, io.patience); !opened) {
        return Report(io, opened);
    }
    if (Status inside = image.CheckInside(character ? RecordsOf(*character) : AllRecords()); !inside) {
        return Report(io, inside);
    }
    const std::vector<RecordWrite> writes = MaximizeWrites(character);
    if (const WriteReport report = WriteRecords(image.File(), writes); !report.ok()) {
        return ReportWrites(io, image, writes, report);
    }
    if (character) {
        io.out << CharacterName(*character) << ": all " << LevelCount << " levels maximized.\n";
    } else {
        io.out << "Hero, Sprite and Girl: all " << 3 * LevelCount << " levels maximized.\n";
    }
    return ExitOk;
}

int Diff(const Streams& io, const std::string& pathA, const std::string& pathB, const std::string& ipsFile) {
    Image a;
    Image b;
    for (auto [image, path] : {std::make_pair(&a, &pathA), std::make_pair(&b, &pathB)}) {
        if (Status opened = image->Open(*path, OpenMode::ReadOnly); !opened) {
            return Report(io, opened);
        }
        if (Status inside = image->CheckInside(AllRecords()); !inside) {
            return Report(io, inside);
        }
    }
    std::ostringstream differences;
    for (const RecordId& id : AllRecords()) {
        const Result<RecordBytes> before = a.ReadRecordBytes(id);
        const Result<RecordBytes> after = b.ReadRecordBytes(id);
        if (!before || !after) {
            return Report(io, before ? after.status() : before.status());
        }
        if (before.value() != after.value()) {
            differences << RecordName(id) << ": " << DescribeChanges(before.value(), after.value()) << "\n";
        }
    }
    if (!ipsFile.empty()) {
        const auto imageA = a.ReadRange(0, a.Size());
        const auto imageB = b.ReadRange(0, b.Size());
        if (!imageA || !imageB) {
            return Report(io, imageA ? imageB.status() : imageA.status());
        }
        if (Status distinct = CheckNotSameFile(ipsFile, {pathA, pathB}); !distinct) {
            return Report(io, distinct);
        }
        const std::vector<std::uint8_t> patch =
            MakeIpsPatch(imageA.value(), imageB.value(), LevelTablesBegin, LevelTablesEnd);
        if (Status written = ReplaceFile(ipsFile, std::string(patch.begin(), patch.end())); !written) {
            return Report(io, written);
        }
    }
    io.out << differences.str();
    return ExitOk;
}

int Check(const Streams& io, const std::string& path, bool fixChecksum) {
    Image image;
    if (Status opened = image.Open(path, fixChecksum ? OpenMode::ReadWrite : OpenMode::ReadOnly, io.patience);
        !opened) {
        return Report(io, opened);
    }
    io.out << "Size: " << image.Size() << " bytes, accepted by the size check\n";
    if (image.Size() < ChecksumOffset + 2) {
        io.out << "Header: none, the image ends before " << Hex(ChecksumOffset + 2, 4) << "\n";
        return fixChecksum ? Report(io, image.Fail("has no internal header whose checksum could be fixed")) : ExitOk;
    }
    Result<std::vector<std::uint8_t>> bytes = image.ReadRange(0, image.Size());
    if (!bytes) {
        return Report(io, bytes.status());
    }
    std::vector<std::uint8_t>& content = bytes.value();
    const std::uint8_t mapMode = content[HeaderMapModeOffset];
    const std::uint8_t romSize = content[HeaderROMSizeOffset];
    io.out << "Title: \"" << Printable(content, HeaderOffset, HeaderTitleLength) << "\"\n"
           << "Map mode: " << Hex(mapMode, 2) << " (" << MapModeName(mapMode) << ")\n"
           << "ROM size: " << Hex(romSize, 2) << " (" << RomSizeName(romSize) << ")\n";

    if (image.Size() != HiROMImageSize) {
        io.out << "Checksum: not checked; the rule is for a 2 MiB image\n";
        return fixChecksum ? Report(io, image.Fail("the checksum can only be fixed in a 2 MiB image")) : ExitOk;
    }
    const auto word = [&](std::uint32_t offset) { return unsigned(content[offset] | (content[offset + 1] << 8)); };
    const unsigned stored = word(ChecksumOffset);
    const unsigned complement = word(ChecksumComplementOffset);
    const unsigned sum = ImageChecksum(content);
    const bool valid = stored == sum && complement == (sum ^ 0xFFFF);
    io.out << "Checksum: " << Hex(stored, 4) << ", complement " << Hex(complement, 4);
    if (valid) {
        io.out << ": valid\n";
    } else {
        io.out << ": invalid, the image sums to " << Hex(sum, 4) << "\n";
    }
    if (!fixChecksum) {
        return ExitOk;
    }
    if (valid) {
        io.out << "The checksum is valid already; nothing written.\n";
        return ExitOk;
    }
    StoreChecksum(content);
    const std::vector<std::uint8_t> checksumBytes(content.begin() + ChecksumComplementOffset,
                                                  content.begin() + ChecksumOffset + 2);
    std::size_t bytesWritten = 0;
    if (Status written = image.File().WriteAt(ChecksumComplementOffset, checksumBytes, &bytesWritten); !written) {
        io.err << written.message() << "\n";
        return Report(io, image.Fail(bytesWritten == 0 ? "Nothing was written."
                                                       : std::to_string(bytesWritten) +
                                                             " of the 4 checksum bytes reached the file."));
    }
    if (Status flushed = image.File().Flush(); !flushed) {
        io.err << flushed.message() << "\n";
        return Report(io, image.Fail("The checksum is in the file, but the system could not confirm that it "
                                     "reached the disk."));
    }
    if (Status here = image.File().CheckStillAtPath(); !here) {
        io.err << image.Path() << " was moved, replaced or deleted while it was written.\n";
        return Report(io, image.Fail("The checksum is in a file that is no longer at " + image.Path() +
                                     "; the file now there, if any, is unchanged."));
    }
    io.out << "Checksum fixed: " << Hex(sum, 4) << ", complement " << Hex(sum ^ 0xFFFF, 4) << " written at "
           << Hex(ChecksumComplementOffset, 4) << ".\n";
    return ExitOk;
}

}  // namespace thornwake::cli
