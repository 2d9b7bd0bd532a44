// The sample image: a plausible 2 MiB HiROM image, the same every time, and
// the program that writes it.

#include <QProcess>
#include <QTest>

#include <set>

#include "rom_test_support.h"

using namespace thornwake::testing;

namespace {

int Hp(const Bytes& image, std::uint64_t record) { return static_cast<std::int16_t>(image[record] | image[record + 1] << 8); }

}  // namespace

class SampleImageTest : public QObject {
    Q_OBJECT

private slots:
    void headerLikeARealImage();
    void levelTablesArePlausibleAndVaried();
    void fillerIsNotFlat();
    void programWritesTheImage();
    void programReportsErrors();
};

void SampleImageTest::headerLikeARealImage() {
    const Bytes image = thornwake::MakeSampleImage();
    QCOMPARE(image.size(), std::size_t{2097152});
    QVERIFY(image == thornwake::MakeSampleImage());

    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&image[0xFFC0]), 21), QByteArray("THORNWAKE            "));
    QCOMPARE(int{image[0xFFD5]}, 0x31);
    QCOMPARE(int{image[0xFFD7]}, 0x0B);

    std::uint32_t sum = 0xFF + 0xFF;  // the complement counted as FF FF, the checksum as 00 00
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (i < 0xFFDC || i > 0xFFDF) sum += image[i];
    }
    const unsigned checksum = image[0xFFDE] | image[0xFFDF] << 8;
    const unsigned complement = image[0xFFDC] | image[0xFFDD] << 8;
    QCOMPARE(checksum, sum & 0xFFFF);
    QCOMPARE(complement, ~sum & 0xFFFF);
}

void SampleImageTest::levelTablesArePlausibleAndVaried() {
    const Bytes image = thornwake::MakeSampleImage();
    const std::uint64_t bases[3] = {0x104210, 0x104528, 0x104840};  // Hero, Girl, Sprite
    int heroMpSlotsSet = 0;
    for (std::uint64_t base : bases) {
        std::set<int> strengths;
        for (int i = 0; i < 99; ++i) {
            const std::uint64_t record = base + 8 * i;
            QVERIFY(Hp(image, record) > 0);
            if (i > 0) QVERIFY2(Hp(image, record) > Hp(image, record - 8), "HP grows with the level");
            if (i > 0) QVERIFY(!std::equal(&image[record + 3], &image[record + 8], &image[record - 5]));
            strengths.insert(image[record + 3]);
            if (base == bases[0]) heroMpSlotsSet += image[record + 2] != 0;
            if (base != bases[0]) QVERIFY(image[record + 2] != 0);
        }
        QVERIFY(strengths.size() > 50);
    }
    QVERIFY(heroMpSlotsSet > 0 && heroMpSlotsSet < 99);
    // The characters differ from each other at the same level.
    for (int i : {0, 49, 98}) {
        QVERIFY(!std::equal(&image[bases[0] + 8 * i + 3], &image[bases[0] + 8 * i + 8], &image[bases[1] + 8 * i + 3]));
        QVERIFY(!std::equal(&image[bases[1] + 8 * i + 3], &image[bases[1] + 8 * i + 8], &image[bases[2] + 8 * i + 3]));
    }
}

void SampleImageTest::fillerIsNotFlat() {
    const Bytes image = thornwake::MakeSampleImage();
    for (std::size_t start : {std::size_t{0}, std::size_t{0x80000}, std::size_t{0x104B58}, std::size_t{0x1FF000}}) {
        std::set<std::uint8_t> seen(image.begin() + static_cast<std::ptrdiff_t>(start),
                                    image.begin() + static_cast<std::ptrdiff_t>(start + 4096));
        QVERIFY(seen.size() > 200);
    }
}

void SampleImageTest::programWritesTheImage() {
    Scratch scratch;
    const QString out = QString::fromStdString(scratch.Path("made.sfc"));
    QProcess maker;
    maker.start(THORNWAKE_SAMPLE_IMAGE_PROGRAM, {out});
    QVERIFY(maker.waitForFinished(30000));
    QCOMPARE(maker.exitStatus(), QProcess::NormalExit);
    QCOMPARE(maker.exitCode(), 0);
    QVERIFY(ReadWholeFile(out.toStdString()) == thornwake::MakeSampleImage());
}

void SampleImageTest::programReportsErrors() {
    Scratch scratch;
    const QString missingFolder = QString::fromStdString(scratch.Path("none/made.sfc"));
    for (const QStringList& arguments : {QStringList{}, QStringList{missingFolder}, QStringList{"a", "b"}}) {
        QProcess maker;
        maker.start(THORNWAKE_SAMPLE_IMAGE_PROGRAM, arguments);
        QVERIFY(maker.waitForFinished(30000));
        QCOMPARE(maker.exitStatus(), QProcess::NormalExit);
        QCOMPARE(maker.exitCode(), 1);
        QVERIFY(!maker.readAllStandardError().isEmpty());
    }
}

QTEST_GUILESS_MAIN(SampleImageTest)
#include "tst_sample_image.moc"
