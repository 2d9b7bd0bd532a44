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

// Where the tables lie, written out here rather than taken from the program.
std::uint64_t ExpectedOffset(CharacterId character, int levelIndex) {
    const std::uint64_t base = character == CharacterId::Hero   ? 0x104210
                               : character == CharacterId::Girl ? 0x104528
                                                                : 0x104840;
    return base + 8 * static_cast<std::uint64_t>(levelIndex);
}

LevelRecord Decode(CharacterId character, const Bytes& b) {
    LevelRecord r;
    r.HP = static_cast<std::int16_t>(b[0] | (b[1] << 8));
    r.MP = character == CharacterId::Hero ? 0 : b[2];
    r.STR = b[3];
    r.AGI = b[4];
    r.CON = b[5];
    r.INTL = b[6];
    r.WIS = b[7];
    return r;
}

Bytes Encode(CharacterId character, const LevelRecord& r) {
    const auto hp = static_cast<std::uint16_t>(r.HP);
    return {static_cast<std::uint8_t>(hp & 0xFF), static_cast<std::uint8_t>(hp >> 8),
            character == CharacterId::Hero ? std::uint8_t{0} : r.MP,
            r.STR, r.AGI, r.CON, r.INTL, r.WIS};
}

QByteArray Describe(const LevelRecord& r) {
    return QByteArray::number(r.HP) + " " + QByteArray::number(r.MP) + " " + QByteArray::number(r.STR) +
           " " + QByteArray::number(r.AGI) + " " + QByteArray::number(r.CON) + " " +
           QByteArray::number(r.INTL) + " " + QByteArray::number(r.WIS);
}

}  // namespace

class LevelRecordsTest : public QObject {
    Q_OBJECT

private slots:
    void everyRecordReadsTheBytesAtItsOffset();
    void tableBoundaries();
    void writeChangesOnlyItsEightBytes_data();
    void writeChangesOnlyItsEightBytes();
    void heroMpByteIsNeitherReadNorKept();
    void hpIsSigned_data();
    void hpIsSigned();
    void recordsPastTheEndOfAShortImage_data();
    void recordsPastTheEndOfAShortImage();

private:
    Scratch scratch_;
};

void LevelRecordsTest::everyRecordReadsTheBytesAtItsOffset() {
    const std::string path = scratch_.Sample();
    const Bytes image = ReadWholeFile(path);
    RomFile file;
    QVERIFY(file.Open(path).ok());
    for (CharacterId character : AllCharacters) {
        for (int level = 0; level < LevelCount; ++level) {
            const std::uint64_t offset = ExpectedOffset(character, level);
            QCOMPARE(RecordOffset(character, level), offset);
            const Bytes stored(image.begin() + static_cast<std::ptrdiff_t>(offset),
                               image.begin() + static_cast<std::ptrdiff_t>(offset + 8));
            const auto read = ReadLevelRecord(file, character, level);
            QVERIFY2(read.ok(), read.message().c_str());
            QVERIFY2(read.value() == Decode(character, stored),
                     CharacterName(character) + QByteArray(" level index ") + QByteArray::number(level) +
                         ": read " + Describe(read.value()) + " from " + Hex(stored));
        }
    }
}

void LevelRecordsTest::tableBoundaries() {
    QCOMPARE(RecordOffset(CharacterId::Hero, 0), std::uint64_t{0x104210});
    QCOMPARE(RecordOffset(CharacterId::Hero, 98), std::uint64_t{0x104520});
    QCOMPARE(RecordOffset(CharacterId::Girl, 0), std::uint64_t{0x104528});
    QCOMPARE(RecordOffset(CharacterId::Sprite, 98), std::uint64_t{0x104B50});
    QCOMPARE(LevelTablesEnd, std::uint32_t{0x104B58});
    QVERIFY(!HeroTable.HasMP);
    QVERIFY(GirlTable.HasMP);
    QVERIFY(SpriteTable.HasMP);
    QCOMPARE(QByteArray(CharacterName(CharacterId::Hero)), QByteArray("Hero"));
    QCOMPARE(QByteArray(CharacterName(CharacterId::Sprite)), QByteArray("Sprite"));
    QCOMPARE(QByteArray(CharacterName(CharacterId::Girl)), QByteArray("Girl"));
}

void LevelRecordsTest::writeChangesOnlyItsEightBytes_data() {
    QTest::addColumn<CharacterId>("character");
    QTest::addColumn<int>("level");
    QTest::newRow("Hero first") << CharacterId::Hero << 0;
    QTest::newRow("Hero last") << CharacterId::Hero << 98;
    QTest::newRow("Girl first") << CharacterId::Girl << 0;
    QTest::newRow("Girl middle") << CharacterId::Girl << 41;
    QTest::newRow("Girl last") << CharacterId::Girl << 98;
    QTest::newRow("Sprite first") << CharacterId::Sprite << 0;
    QTest::newRow("Sprite last") << CharacterId::Sprite << 98;
}

void LevelRecordsTest::writeChangesOnlyItsEightBytes() {
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
        QVERIFY(ReadWholeFile(path) == expected);

        LevelRecord readBack = record;
        if (character == CharacterId::Hero) readBack.MP = 0;
        QVERIFY(ReadLevelRecord(file, character, level).value() == readBack);
    }
}

void LevelRecordsTest::heroMpByteIsNeitherReadNorKept() {
    const std::string path = scratch_.Sample("heromp.sfc");
    Bytes expected = ReadWholeFile(path);
    int level = 0;
    while (level < LevelCount && expected[ExpectedOffset(CharacterId::Hero, level) + 2] == 0) ++level;
    QVERIFY2(level < LevelCount, "the sample image should hold a Hero MP byte that is not 0");
    const std::uint64_t mpAt = ExpectedOffset(CharacterId::Hero, level) + 2;

    RomFile file;
    QVERIFY(file.Open(path).ok());
    const auto read = ReadLevelRecord(file, CharacterId::Hero, level);
    QVERIFY(read.ok());
    QCOMPARE(read.value().MP, std::uint8_t{0});

    // Writing the record back unchanged clears that byte and nothing else.
    QVERIFY(WriteLevelRecord(file, CharacterId::Hero, level, read.value()).ok());
    expected[mpAt] = 0;
    QVERIFY(ReadWholeFile(path) == expected);

    // A Hero record that carries an MP value still stores 0.
    LevelRecord withMp = read.value();
    withMp.MP = 77;
    QVERIFY(WriteLevelRecord(file, CharacterId::Hero, level, withMp).ok());
    QCOMPARE(BytesAt(path, mpAt, 1).at(0), std::uint8_t{0});
}

void LevelRecordsTest::hpIsSigned_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("hp");
    QTest::addColumn<QString>("text");
    QTest::newRow("E7 03") << 0xE7 << 0x03 << 999 << "999";
    QTest::newRow("FF FF") << 0xFF << 0xFF << -1 << "-1";
    QTest::newRow("00 80") << 0x00 << 0x80 << -32768 << "-32768";
    QTest::newRow("40 9C") << 0x40 << 0x9C << -25536 << "-25536";
    QTest::newRow("FF 7F") << 0xFF << 0x7F << 32767 << "32767";
    QTest::newRow("00 00") << 0x00 << 0x00 << 0 << "0";
}

void LevelRecordsTest::hpIsSigned() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, hp);
    QFETCH(QString, text);
    const std::string path = scratch_.Sample("hp.sfc");
    const std::uint64_t at = ExpectedOffset(CharacterId::Sprite, 7);
    PokeBytes(path, at, {static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(high)});
    const Bytes before = ReadWholeFile(path);

    RomFile file;
    QVERIFY(file.Open(path).ok());
    const auto read = ReadLevelRecord(file, CharacterId::Sprite, 7);
    QVERIFY(read.ok());
    QCOMPARE(int{read.value().HP}, hp);
    QCOMPARE(QString::fromStdString(FormatHP(read.value().HP)), text);
    QCOMPARE(ParseHP(text.toStdString()), std::optional<std::int16_t>(static_cast<std::int16_t>(hp)));

    // Read and written back, the record keeps its bytes.
    QVERIFY(WriteLevelRecord(file, CharacterId::Sprite, 7, read.value()).ok());
    QVERIFY(ReadWholeFile(path) == before);
}

void LevelRecordsTest::recordsPastTheEndOfAShortImage_data() {
    QTest::addColumn<CharacterId>("character");
    QTest::addColumn<int>("level");
    QTest::addColumn<quint64>("length");
    QTest::newRow("ends before the tables") << CharacterId::Hero << 0 << quint64{0x104000};
    QTest::newRow("ends after the first field") << CharacterId::Hero << 0 << quint64{0x104212};
    QTest::newRow("ends mid record") << CharacterId::Girl << 0 << quint64{0x10452C};
    QTest::newRow("last byte missing") << CharacterId::Sprite << 98 << quint64{0x104B57};
}

void LevelRecordsTest::recordsPastTheEndOfAShortImage() {
    QFETCH(CharacterId, character);
    QFETCH(int, level);
    QFETCH(quint64, length);
    const std::string path = scratch_.SamplePrefix("short.sfc", length);
    const Bytes before = ReadWholeFile(path);
    RomFile file;
    QVERIFY(file.Open(path).ok());

    const auto read = ReadLevelRecord(file, character, level);
    QVERIFY(!read.ok());
    QVERIFY2(read.message().find(std::to_string(length)) != std::string::npos, read.message().c_str());

    const Status written = WriteLevelRecord(file, character, level, LevelRecord{1, 2, 3, 4, 5, 6, 7});
    QVERIFY(!written.ok());
    QVERIFY2(written.message().find(std::to_string(length)) != std::string::npos,
             written.message().c_str());
    file.Close();
    QCOMPARE(FileSize(path), std::uint64_t{length});
    QVERIFY2(ReadWholeFile(path) == before, "a refused record write changed bytes before the end");
}

QTEST_GUILESS_MAIN(LevelRecordsTest)
#include "tst_level_records.moc"
