// The maximize operations: the exact bytes, the order of the records, the
// progress callback, short images, write errors, and a file closed or
// reopened while the callback runs.

#include <QTest>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "level_tables.h"
#include "maximize.h"
#include "rom_file.h"
#include "rom_test_support.h"

using namespace thornwake;
using namespace thornwake::testing;

namespace {

using MaxOperation = Result<MaxOutcome> (*)(RomFile&, const ProgressCallback&);

constexpr std::uint64_t HeroBase = 0x104210;
constexpr std::uint64_t GirlBase = 0x104528;
constexpr std::uint64_t SpriteBase = 0x104840;
constexpr std::uint64_t TablesEnd = 0x104B58;
const Bytes HeroMaxed = {0xE7, 0x03, 0x00, 0x63, 0x63, 0x63, 0x63, 0x63};
const Bytes OthersMaxed = {0xE7, 0x03, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63};

struct Operation {
    MaxOperation run;
    std::uint64_t base;  // of the table it writes, or of the first one for MaxAll
    std::uint64_t end;
    int callbacks;
};

Operation OperationNamed(const QString& name) {
    if (name == "MaxHero") return {MaxHero, HeroBase, GirlBase, 99};
    if (name == "MaxGirl") return {MaxGirl, GirlBase, SpriteBase, 99};
    if (name == "MaxSprite") return {MaxSprite, SpriteBase, TablesEnd, 99};
    return {MaxAll, HeroBase, TablesEnd, 396};
}

// `image` after every record from `begin` to `end` was maximized.
Bytes Maximized(Bytes image, std::uint64_t begin, std::uint64_t end) {
    for (std::uint64_t at = begin; at < end; at += 8) {
        const Bytes& maxed = at < GirlBase ? HeroMaxed : OthersMaxed;
        std::copy(maxed.begin(), maxed.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return image;
}

Bytes Slice(const Bytes& image, std::uint64_t at, std::size_t count) {
    return Bytes(image.begin() + static_cast<std::ptrdiff_t>(at),
                 image.begin() + static_cast<std::ptrdiff_t>(at + count));
}

}  // namespace

class MaximizeTest : public QObject {
    Q_OBJECT

private slots:
    void writesExactlyTheTable_data();
    void writesExactlyTheTable();
    void recordsAreWrittenInOrderOneByOne_data();
    void recordsAreWrittenInOrderOneByOne();
    void maxAllWritesTwoPasses();
    void maxAllEqualsTheThreeSingleOperations();
    void shortImagesAreRefusedWhole_data();
    void shortImagesAreRefusedWhole();
    void writeErrorStopsAtOnce();
    void closeOrReopenDuringTheCallbackStopsTheRun_data();
    void closeOrReopenDuringTheCallbackStopsTheRun();

private:
    Scratch scratch_;
};

void MaximizeTest::writesExactlyTheTable_data() {
    QTest::addColumn<QString>("operation");
    for (const char* name : {"MaxHero", "MaxSprite", "MaxGirl", "MaxAll"}) QTest::newRow(name) << name;
}

void MaximizeTest::writesExactlyTheTable() {
    QFETCH(QString, operation);
    const Operation op = OperationNamed(operation);
    const std::string path = scratch_.Sample();
    const Bytes before = ReadWholeFile(path);
    const Bytes expected = Maximized(before, op.base, op.end);
    QVERIFY(expected != before);

    RomFile file;
    QVERIFY(file.Open(path).ok());
    // Twice: a record that already holds the maximum is written all the same,
    // and the second run changes nothing.
    for (int run = 0; run < 2; ++run) {
        int calls = 0;
        const auto outcome = op.run(file, [&] { ++calls; });
        QVERIFY2(outcome.ok(), outcome.message().c_str());
        QCOMPARE(outcome.value(), MaxOutcome::Completed);
        QCOMPARE(calls, op.callbacks);
        QVERIFY(file.IsOpen());
        QCOMPARE(FileSize(path), std::uint64_t{SampleImageSize});
        QVERIFY(ReadWholeFile(path) == expected);
    }
    // No callback at all is allowed too.
    QVERIFY(op.run(file, nullptr).ok());
    QVERIFY(ReadWholeFile(path) == expected);
}

void MaximizeTest::recordsAreWrittenInOrderOneByOne_data() {
    QTest::addColumn<QString>("operation");
    for (const char* name : {"MaxHero", "MaxSprite", "MaxGirl"}) QTest::newRow(name) << name;
}

// At each callback the records so far hold the maximum and the rest are as
// they were: every completed record is in the file, in ascending order.
void MaximizeTest::recordsAreWrittenInOrderOneByOne() {
    QFETCH(QString, operation);
    const Operation op = OperationNamed(operation);
    const std::string path = scratch_.Sample();
    const Bytes before = ReadWholeFile(path);
    RomFile file;
    QVERIFY(file.Open(path).ok());
    int calls = 0;
    bool inOrder = true;
    const auto outcome = op.run(file, [&] {
        ++calls;
        const std::uint64_t doneEnd = op.base + 8 * static_cast<std::uint64_t>(calls);
        const Bytes now = BytesAt(path, op.base, op.end - op.base);
        if (now !=
            Slice(Maximized(before, op.base, doneEnd), op.base, op.end - op.base)) {
            if (inOrder) qWarning("table differs from the expected state at callback %d", calls);
            inOrder = false;
        }
    });
    QVERIFY(outcome.ok());
    QVERIFY(inOrder);
}

void MaximizeTest::maxAllWritesTwoPasses() {
    const std::string path = scratch_.Sample();
    const Bytes before = ReadWholeFile(path);
    RomFile file;
    QVERIFY(file.Open(path).ok());
    int calls = 0;
    QStringList faults;
    const auto outcome = MaxAll(file, [&] {
        ++calls;
        const Bytes now = BytesAt(path, HeroBase, TablesEnd - HeroBase);
        Bytes expected = before;
        if (calls <= 297) {
            // First pass, in file order: every record so far, the Hero's
            // included, holds MP 99.
            for (int k = 0; k < calls; ++k) {
                std::copy(OthersMaxed.begin(), OthersMaxed.end(),
                          expected.begin() + static_cast<std::ptrdiff_t>(HeroBase + 8 * k));
            }
        } else {
            expected = Maximized(before, HeroBase, TablesEnd);
            for (int i = calls - 297; i < 99; ++i) expected[HeroBase + 8 * i + 2] = 0x63;
        }
        if (now != Slice(expected, HeroBase, TablesEnd - HeroBase)) {
            faults << QString::number(calls);
        }
    });
    QVERIFY(outcome.ok());
    QCOMPARE(outcome.value(), MaxOutcome::Completed);
    QCOMPARE(calls, 396);
    QVERIFY2(faults.isEmpty(), qPrintable("unexpected tables at callbacks " + faults.mid(0, 10).join(' ')));

    // Only the 2376 bytes of the tables can differ from before.
    const Bytes after = ReadWholeFile(path);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(TablesEnd - HeroBase, std::uint64_t{2376});
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i >= HeroBase && i < TablesEnd) continue;
        if (after[i] != before[i]) QFAIL(qPrintable(QString("byte 0x%1 changed").arg(i, 0, 16)));
    }
}

void MaximizeTest::maxAllEqualsTheThreeSingleOperations() {
    const std::string all = scratch_.Sample("all.sfc");
    const std::string singles = scratch_.Sample("singles.sfc");
    RomFile file;
    QVERIFY(file.Open(all).ok());
    QVERIFY(MaxAll(file, {}).ok());
    file.Close();
    QVERIFY(file.Open(singles).ok());
    QVERIFY(MaxHero(file, {}).ok());
    QVERIFY(MaxGirl(file, {}).ok());
    QVERIFY(MaxSprite(file, {}).ok());
    file.Close();
    QVERIFY(ReadWholeFile(all) == ReadWholeFile(singles));
}

void MaximizeTest::shortImagesAreRefusedWhole_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<quint64>("length");
    QTest::addColumn<bool>("fits");
    for (const char* name : {"MaxHero", "MaxSprite", "MaxGirl", "MaxAll"}) {
        const Operation op = OperationNamed(name);
        const QByteArray row(name);
        QTest::newRow(row + " empty") << QString(name) << quint64{0} << false;
        QTest::newRow(row + " ends before the table") << QString(name) << quint64{op.base} << false;
        QTest::newRow(row + " ends in the first record") << QString(name) << quint64{op.base + 5} << false;
        QTest::newRow(row + " last byte missing") << QString(name) << quint64{op.end - 1} << false;
        QTest::newRow(row + " ends with the table") << QString(name) << quint64{op.end} << true;
    }
}

void MaximizeTest::shortImagesAreRefusedWhole() {
    QFETCH(QString, operation);
    QFETCH(quint64, length);
    QFETCH(bool, fits);
    const Operation op = OperationNamed(operation);
    const std::string path = scratch_.SamplePrefix("short.sfc", length);
    const Bytes before = ReadWholeFile(path);
    RomFile file;
    QVERIFY(file.Open(path).ok());
    int calls = 0;
    const auto outcome = op.run(file, [&] { ++calls; });
    file.Close();
    QCOMPARE(FileSize(path), std::uint64_t{length});
    if (fits) {
        QVERIFY2(outcome.ok(), outcome.message().c_str());
        QCOMPARE(calls, op.callbacks);
        QVERIFY(ReadWholeFile(path) == Maximized(before, op.base, op.end));
        return;
    }
    QVERIFY(!outcome.ok());
    QVERIFY2(outcome.message().find(std::to_string(length)) != std::string::npos, outcome.message().c_str());
    QCOMPARE(calls, 0);
    QVERIFY(ReadWholeFile(path) == before);
}

void MaximizeTest::writeErrorStopsAtOnce() {
    if (!std::filesystem::exists("/dev/full")) QSKIP("no /dev/full here");
    for (MaxOperation run : {MaxHero, MaxSprite, MaxGirl, MaxAll}) {
        RomFile file;
        QVERIFY(file.Open("/dev/full").ok());
        int calls = 0;
        const auto outcome = run(file, [&] { ++calls; });
        QVERIFY(!outcome.ok());
        QVERIFY2(outcome.message().find(std::strerror(ENOSPC)) != std::string::npos,
                 outcome.message().c_str());
        QCOMPARE(calls, 0);
        QVERIFY(file.IsOpen());
    }
}

void MaximizeTest::closeOrReopenDuringTheCallbackStopsTheRun_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("stopAt");  // the callback that closes or reopens
    QTest::addColumn<QString>("action");
    for (const char* action : {"close", "open another", "reopen the same"}) {
        const QByteArray a(action);
        QTest::newRow("MaxGirl first, " + a) << "MaxGirl" << 1 << action;
        QTest::newRow("MaxHero middle, " + a) << "MaxHero" << 40 << action;
        QTest::newRow("MaxSprite last, " + a) << "MaxSprite" << 99 << action;
        QTest::newRow("MaxAll first pass, " + a) << "MaxAll" << 150 << action;
        QTest::newRow("MaxAll second pass, " + a) << "MaxAll" << 300 << action;
    }
}

void MaximizeTest::closeOrReopenDuringTheCallbackStopsTheRun() {
    QFETCH(QString, operation);
    QFETCH(int, stopAt);
    QFETCH(QString, action);
    const Operation op = OperationNamed(operation);
    const std::string path = scratch_.Sample("first.sfc");
    const std::string other = scratch_.Sample("other.sfc");
    const Bytes otherBefore = ReadWholeFile(other);

    RomFile file;
    QVERIFY(file.Open(path).ok());
    int calls = 0;
    Bytes atStop;
    const auto outcome = op.run(file, [&] {
        if (++calls != stopAt) return;
        atStop = ReadWholeFile(path);
        file.Close();
        if (action == "open another") QVERIFY(file.Open(other).ok());
        if (action == "reopen the same") QVERIFY(file.Open(path).ok());
    });
    QVERIFY2(outcome.ok(), outcome.message().c_str());  // stopping is no error
    QCOMPARE(outcome.value(), MaxOutcome::Interrupted);
    QCOMPARE(calls, stopAt);
    QVERIFY(ReadWholeFile(path) == atStop);
    QVERIFY(ReadWholeFile(other) == otherBefore);
    QCOMPARE(file.IsOpen(), action != "close");
}

QTEST_GUILESS_MAIN(MaximizeTest)
#include "tst_maximize.moc"
