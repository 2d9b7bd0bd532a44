// The maximize operations: the exact bytes, the progress callback, short
// images, and a file closed or reopened while the callback runs. The order of
// the single writes is checked in tst_io_order, write errors in tst_rom_file.

#include <QTest>

#include "rom_test_support.h"

using namespace thornwake;
using namespace thornwake::testing;

namespace {

// `image` after every record from `begin` to `end` was maximized.
Bytes Maximized(Bytes image, std::uint64_t begin, std::uint64_t end) {
    for (std::uint64_t at = begin; at < end; at += 8) {
        const std::uint8_t mp = at < GirlBase ? 0x00 : 0x63;
        const Bytes maxed = {0xE7, 0x03, mp, 0x63, 0x63, 0x63, 0x63, 0x63};
        std::copy(maxed.begin(), maxed.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return image;
}

}  // namespace

class MaximizeTest : public QObject {
    Q_OBJECT
    Scratch scratch_;

private slots:
    void writesItsRecordsWholeOrNotAtAll_data() {
        QTest::addColumn<int>("operation");
        QTest::addColumn<quint64>("length");
        for (int i = 0; i < 4; ++i) {
            const Operation& op = Operations[i];
            QTest::addRow("%s whole image", op.name) << i << quint64{SampleImageSize};
            QTest::addRow("%s ends with the table", op.name) << i << quint64{op.end};
            QTest::addRow("%s last byte missing", op.name) << i << quint64{op.end - 1};
            QTest::addRow("%s ends in the first record", op.name) << i << quint64{op.begin + 5};
            QTest::addRow("%s ends before the table", op.name) << i << quint64{op.begin};
            QTest::addRow("%s empty", op.name) << i << quint64{0};
        }
    }

    // A short image is refused before the first write.
    void writesItsRecordsWholeOrNotAtAll() {
        QFETCH(int, operation);
        QFETCH(quint64, length);
        const Operation& op = Operations[operation];
        const std::string path = scratch_.Sample("image.sfc", length);
        const bool fits = length >= op.end;
        const Bytes expected = fits ? Maximized(ReadWholeFile(path), op.begin, op.end) : ReadWholeFile(path);
        QVERIFY(!fits || expected != ReadWholeFile(path));
        RomFile file;
        QVERIFY(file.Open(path).ok());
        // Twice: a record that already holds the maximum is written all the
        // same, and the second run changes nothing.
        for (int run = 0; run < 2; ++run) {
            int calls = 0;
            const auto outcome = op.run(file, [&] { ++calls; });
            QVERIFY2(outcome.ok() == fits, outcome.message().c_str());
            QCOMPARE(calls, fits ? op.callbacks : 0);
            if (fits) QCOMPARE(outcome.value(), MaxOutcome::Completed);
            else QVERIFY2(Contains(outcome.message(), std::to_string(length)), outcome.message().c_str());
            QVERIFY(file.IsOpen());
            QVERIFY(ReadWholeFile(path) == expected);
        }
        QCOMPARE(op.run(file, nullptr).ok(), fits);  // no callback at all is allowed too
        QVERIFY(ReadWholeFile(path) == expected);
    }

    void maxAllEqualsTheThreeSingleOperations() {
        RomFile all, singles;
        QVERIFY(all.Open(scratch_.Sample("all.sfc")).ok() && singles.Open(scratch_.Sample("singles.sfc")).ok());
        QVERIFY(MaxAll(all, {}).ok() && MaxHero(singles, {}).ok() && MaxGirl(singles, {}).ok() && MaxSprite(singles, {}).ok());
        QVERIFY(ReadWholeFile(all.Path()) == ReadWholeFile(singles.Path()));
    }

    void closeOrReopenDuringTheCallbackStopsTheRun_data() {
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("stopAt");  // the callback that closes or reopens
        QTest::addColumn<QString>("action");
        // The first, a middle and the last callback; both passes of MaxAll.
        const std::pair<int, int> stops[] = {{1, 1}, {0, 40}, {2, 99}, {3, 150}, {3, 300}};
        for (const char* action : {"close", "open another", "reopen the same"}) {
            for (auto [op, stopAt] : stops) QTest::addRow("%s %d, %s", Operations[op].name, stopAt, action) << op << stopAt << action;
        }
    }

    void closeOrReopenDuringTheCallbackStopsTheRun() {
        QFETCH(int, operation);
        QFETCH(int, stopAt);
        QFETCH(QString, action);
        const std::string path = scratch_.Sample("first.sfc");
        const std::string other = scratch_.Sample("other.sfc");
        RomFile file;
        QVERIFY(file.Open(path).ok());
        int calls = 0;
        Bytes atStop;
        const auto outcome = Operations[operation].run(file, [&] {
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
        QVERIFY(ReadWholeFile(other) == SampleImage());
        QCOMPARE(file.IsOpen(), action != "close");
    }
};

QTEST_GUILESS_MAIN(MaximizeTest)
#include "tst_maximize.moc"
