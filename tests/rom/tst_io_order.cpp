// The exact sequence of positioned reads, writes and flushes that reach the
// system: this program puts its own pread, pwrite and fsync in front of the C
// library's and writes down every call, and the progress callbacks in between.

#include <QTest>

#include <sys/syscall.h>
#include <unistd.h>

#include "rom_test_support.h"

using namespace thornwake;
using namespace thornwake::testing;

namespace {

// "r", "w" with offset and size; "s" a flush to the device; "p" a progress callback.
QByteArray Call(char kind, std::uint64_t offset = 0, std::size_t size = 0) {
    return QByteArray(1, kind) + " 0x" + QByteArray::number(qulonglong(offset), 16) + " " +
           QByteArray::number(qulonglong(size));
}

bool recording = false;
QByteArrayList calls;

struct Recording {
    Recording() { calls.clear(), recording = true; }
    ~Recording() { recording = false; }
};

// Seven writes in record order: HP's two bytes, then MP .. WIS one by one.
QByteArrayList RecordWrites(std::uint64_t offset) {
    QByteArrayList list = {Call('w', offset, 2)};
    for (int field = 2; field < 8; ++field) list << Call('w', offset + field, 1);
    return list;
}

}  // namespace

extern "C" {
ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    if (recording) calls << Call('r', static_cast<std::uint64_t>(offset), count);
    return ::syscall(SYS_pread64, fd, buffer, count, offset);
}
ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (recording) calls << Call('w', static_cast<std::uint64_t>(offset), count);
    return ::syscall(SYS_pwrite64, fd, buffer, count, offset);
}
int fsync(int fd) {
    if (recording) calls << Call('s');
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
}

class IoOrderTest : public QObject {
    Q_OBJECT
    Scratch scratch_;
    RomFile file_;

private slots:
    void initTestCase() {
        QVERIFY(file_.Open(scratch_.Sample()).ok());
        Recording recording;
        QVERIFY(file_.ReadAt(0, 1).ok());
        if (calls.isEmpty()) QSKIP("the image file is not read through pread here");
    }

    void readingAndWritingARecord() {
        for (const auto& [character, name, base] : Tables) {
            QByteArrayList expected = {Call('r', base + 8 * 5, 2)};
            for (int field = character == CharacterId::Hero ? 3 : 2; field < 8; ++field) {
                expected << Call('r', base + 8 * 5 + field, 1);
            }
            expected << RecordWrites(base + 8 * 98) << Call('s');
            Recording recording;
            QVERIFY(ReadLevelRecord(file_, character, 5).ok());
            QVERIFY(WriteLevelRecord(file_, character, 98, LevelRecord{5, 6, 7, 8, 9, 10, 11}).ok());
            QCOMPARE(calls, expected);
        }
    }

    void maximizing() {
        for (const Operation& op : Operations) {
            QByteArrayList expected;
            for (std::uint64_t at = op.begin; at < op.end; at += 8) expected << RecordWrites(at) << Call('p');
            // MaxAll writes all three tables in file order, then puts the Hero's MP bytes back to 0.
            for (int i = 0; op.run == MaxAll && i < 99; ++i) expected << Call('w', HeroBase + 8 * i + 2, 1) << Call('p');
            expected << Call('s');
            Recording recording;
            QVERIFY(op.run(file_, [] { calls << Call('p'); }).ok());
            QCOMPARE(calls, expected);
        }
    }
};

QTEST_GUILESS_MAIN(IoOrderTest)
#include "tst_io_order.moc"
