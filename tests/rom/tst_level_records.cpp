// Level records: where each one lies, its byte order and field order, the
// Hero's MP byte, signed HP, and that a write touches its 8 bytes only.

#include <QTest>

#include "level_tables.h"
#include "rom_file.h"
#include "rom_test_support.h"

using namespace thornwake;
using namespace thornwake::testing;

Q_DECLARE_METATYPE(thornwake::CharacterId)

namespace {

struct Table {
    CharacterId character;
    const char* name;
    std::uint64_t base;
};
constexpr Table Tables[] = {{CharacterId::Hero, "Hero", HeroBase},
                            {CharacterId::Girl, "Girl", GirlBase},
                            {CharacterId::Sprite, "Sprite", SpriteBase}};

std::uint64_t ExpectedOffset(CharacterId character, int levelIndex) {
    for (const Table& t : Tables) {
        if (t.character == character) return t.base + 8 * static_cast<std::uint64_t>(levelIndex);
    }
    return 0;
}

// The record as the game stores it: HP little-endian, then MP .. WIS, the Hero's MP byte 0.
Bytes Encode(CharacterId character, const LevelRecord& r) {
    const auto hp = static_cast<std::uint16_t>(r.HP);
    return {static_cast<std::uint8_t>(hp & 0xFF), static_cast<std::uint8_t>(hp >> 8),
            character == CharacterId::Hero ? std::uint8_t{0} : r.MP, r.STR, r.AGI, r.CON, r.INTL, r.WIS};
}

}  // namespace

class LevelRecordsTest : public QObject {
    Q_OBJECT
    Scratch scratch_;

private slots:
    void everyRecordReadsTheBytesAtItsOffset() {
        const std::string path = scratch_.Sample();
        const Bytes image = ReadWholeFile(path);
        RomFile file;
        QVERIFY(file.Open(path).ok());
        for (const Table& t : Tables) {
            QCOMPARE(QByteArray(CharacterName(t.character)), QByteArray(t.name));
            for (int level = 0; level < LevelCount; ++level) {
                const std::uint64_t offset = t.base + 8 * static_cast<std::uint64_t>(level);
                QCOMPARE(RecordOffset(t.character, level), offset);
                Bytes stored = Slice(image, offset, 8);
                if (t.character == CharacterId::Hero) stored[2] = 0;  // never read
                const auto read = ReadLevelRecord(file, t.character, level);
                QVERIFY2(read.ok(), read.message().c_str());
                QVERIFY2(Encode(t.character, read.value()) == stored,
                         QByteArray(t.name) + " level index " + QByteArray::number(level) + ": read as " +
                             Hex(Encode(t.character, read.value())) + ", stored " + Hex(stored));
            }
        }
    }

    void writeChangesOnlyItsEightBytes_data() {
        QTest::addColumn<CharacterId>("character");
        QTest::addColumn<int>("level");
        for (const Table& t : Tables) {
            for (int level : {0, 41, 98}) QTest::addRow("%s %d", t.name, level) << t.character << level;
        }
    }

    void writeChangesOnlyItsEightBytes() {
        QFETCH(CharacterId, character);
        QFETCH(int, level);
        const std::string path = scratch_.Sample("write.sfc");
        Bytes expected = ReadWholeFile(path);
        RomFile file;
        QVERIFY(file.Open(path).ok());
        // Every field distinct, the HP's two bytes too, so a swapped pair shows.
        for (const LevelRecord& record : {LevelRecord{0x1234, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6},
                                          LevelRecord{-2, 255, 0, 255, 0, 255, 1}}) {
            const Status written = WriteLevelRecord(file, character, level, record);
            QVERIFY2(written.ok(), written.message().c_str());
            const Bytes bytes = Encode(character, record);
            std::copy(bytes.begin(), bytes.end(),
                      expected.begin() + static_cast<std::ptrdiff_t>(ExpectedOffset(character, level)));
            QVERIFY(ReadWholeFile(path) == expected);  // seen by another reader while still open
            LevelRecord readBack = record;
            if (character == CharacterId::Hero) readBack.MP = 0;
            QVERIFY(ReadLevelRecord(file, character, level).value() == readBack);
        }
    }

    void heroMpByteIsNeitherReadNorKept() {
        const std::string path = scratch_.Sample("heromp.sfc");
        Bytes expected = ReadWholeFile(path);
        int level = 0;
        while (level < LevelCount && expected[HeroBase + 8 * level + 2] == 0) ++level;
        QVERIFY2(level < LevelCount, "the sample image should hold a Hero MP byte that is not 0");
        const std::uint64_t mpAt = HeroBase + 8 * level + 2;

        RomFile file;
        QVERIFY(file.Open(path).ok());
        auto read = ReadLevelRecord(file, CharacterId::Hero, level);
        QVERIFY(read.ok());
        QCOMPARE(read.value().MP, std::uint8_t{0});
        // Writing the record back unchanged clears that byte and nothing else.
        QVERIFY(WriteLevelRecord(file, CharacterId::Hero, level, read.value()).ok());
        expected[mpAt] = 0;
        QVERIFY(ReadWholeFile(path) == expected);
        // A Hero record that carries an MP value still stores 0.
        read.value().MP = 77;
        QVERIFY(WriteLevelRecord(file, CharacterId::Hero, level, read.value()).ok());
        QVERIFY(ReadWholeFile(path) == expected);
    }

    void hpIsSigned_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("hp");
        QTest::newRow("E7 03") << 0xE7 << 0x03 << 999;
        QTest::newRow("FF FF") << 0xFF << 0xFF << -1;
        QTest::newRow("00 80") << 0x00 << 0x80 << -32768;
        QTest::newRow("40 9C") << 0x40 << 0x9C << -25536;
        QTest::newRow("FF 7F") << 0xFF << 0x7F << 32767;
    }

    void hpIsSigned() {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, hp);
        Bytes image = SampleImage();
        image[SpriteBase + 8 * 7] = static_cast<std::uint8_t>(low);
        image[SpriteBase + 8 * 7 + 1] = static_cast<std::uint8_t>(high);
        const std::string path = scratch_.Write("hp.sfc", image);
        RomFile file;
        QVERIFY(file.Open(path).ok());
        const auto read = ReadLevelRecord(file, CharacterId::Sprite, 7);
        QVERIFY(read.ok());
        QCOMPARE(int{read.value().HP}, hp);
        // Read and written back, the record keeps its bytes.
        QVERIFY(WriteLevelRecord(file, CharacterId::Sprite, 7, read.value()).ok());
        QVERIFY(ReadWholeFile(path) == image);
    }

    void recordsPastTheEndOfAShortImage_data() {
        QTest::addColumn<CharacterId>("character");
        QTest::addColumn<int>("level");
        QTest::addColumn<quint64>("length");
        QTest::newRow("ends before the tables") << CharacterId::Hero << 0 << quint64{0x104000};
        QTest::newRow("ends after the first field") << CharacterId::Hero << 0 << quint64{HeroBase + 2};
        QTest::newRow("ends mid record") << CharacterId::Girl << 0 << quint64{GirlBase + 4};
        QTest::newRow("last byte missing") << CharacterId::Sprite << 98 << quint64{TablesEnd - 1};
    }

    void recordsPastTheEndOfAShortImage() {
        QFETCH(CharacterId, character);
        QFETCH(int, level);
        QFETCH(quint64, length);
        const std::string path = scratch_.Sample("short.sfc", length);
        const Bytes before = ReadWholeFile(path);
        RomFile file;
        QVERIFY(file.Open(path).ok());
        const auto read = ReadLevelRecord(file, character, level);
        const Status written = WriteLevelRecord(file, character, level, LevelRecord{1, 2, 3, 4, 5, 6, 7});
        for (const std::string& message : {read.message(), written.message()}) {
            QVERIFY2(message.find(std::to_string(length)) != std::string::npos, message.c_str());
        }
        QVERIFY(!read.ok() && !written.ok());
        file.Close();
        QVERIFY2(ReadWholeFile(path) == before, "a refused record write changed bytes before the end");
    }
};

QTEST_GUILESS_MAIN(LevelRecordsTest)
#include "tst_level_records.moc"
