// The sample image: a plausible 2 MiB HiROM image, the same every time, with
// varied level tables (the other tests need that to see a misplaced byte), and
// the program that writes it.

#include <QProcess>
#include <QTest>

#include <set>

#include "rom_test_support.h"

using namespace thornwake::testing;

class SampleImageTest : public QObject {
    Q_OBJECT
    Scratch scratch_;

private slots:
    void headerAndChecksum() {
        const Bytes& image = SampleImage();
        QCOMPARE(image.size(), std::size_t{2097152});
        QVERIFY(image == thornwake::MakeSampleImage());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&image[0xFFC0]), 21), QByteArray("THORNWAKE            "));
        QCOMPARE(int{image[0xFFD5]}, 0x31);
        QCOMPARE(int{image[0xFFD7]}, 0x0B);
        std::uint32_t sum = 0xFF + 0xFF;  // the complement counted as FF FF, the checksum as 00 00
        for (std::size_t i = 0; i < image.size(); ++i) sum += i < 0xFFDC || i > 0xFFDF ? image[i] : 0;
        QCOMPARE(unsigned(image[0xFFDE] | image[0xFFDF] << 8), sum & 0xFFFF);
        QCOMPARE(unsigned(image[0xFFDC] | image[0xFFDD] << 8), ~sum & 0xFFFF);
    }

    void levelTablesArePlausibleAndVaried() {
        const Bytes& image = SampleImage();
        const auto hp = [&](std::uint64_t at) { return static_cast<std::int16_t>(image[at] | image[at + 1] << 8); };
        int heroMpBytesSet = 0;
        for (const Table& t : Tables) {
            std::set<int> strengths;
            for (std::uint64_t at = t.base; at < t.base + 99 * 8; at += 8) {
                QVERIFY2(hp(at) > (at == t.base ? 0 : hp(at - 8)), "HP grows with the level");
                QVERIFY(at == t.base || Slice(image, at + 3, 5) != Slice(image, at - 5, 5));
                QVERIFY(t.base == HeroBase || image[at + 2] != 0);
                heroMpBytesSet += t.base == HeroBase && image[at + 2] != 0;
                strengths.insert(image[at + 3]);
            }
            QVERIFY(strengths.size() > 50);
        }
        QVERIFY(heroMpBytesSet > 0 && heroMpBytesSet < 99);  // the game leaves odd bytes there
        // Neither is the filler on both sides of the tables flat.
        QVERIFY(std::set<std::uint8_t>(&image[HeroBase - 4096], &image[HeroBase]).size() > 200);
        QVERIFY(std::set<std::uint8_t>(&image[TablesEnd], &image[TablesEnd + 4096]).size() > 200);
    }

    void programWritesTheImageOrFails() {
        const QString made = QString::fromStdString(scratch_.Path("made.sfc"));
        const QString missingFolder = QString::fromStdString(scratch_.Path("none/made.sfc"));
        for (const QStringList& arguments : {QStringList{made}, QStringList{}, QStringList{missingFolder}, QStringList{"a", "b"}}) {
            QProcess maker;
            maker.start(THORNWAKE_SAMPLE_IMAGE_PROGRAM, arguments);
            QVERIFY(maker.waitForFinished(30000));
            QCOMPARE(maker.exitStatus(), QProcess::NormalExit);
            const bool good = arguments == QStringList{made};
            QCOMPARE(maker.exitCode(), good ? 0 : 1);
            QCOMPARE(maker.readAllStandardError().isEmpty(), good);
        }
        QVERIFY(ReadWholeFile(made.toStdString()) == SampleImage());
    }
};

QTEST_GUILESS_MAIN(SampleImageTest)
#include "tst_sample_image.moc"
