// The exact sequence of positioned reads, writes and flushes that reach the
// system: this program puts its own pread, pwrite and fsync in front of the C
// library's and writes down every call.

#include <QTest>

#include <sys/syscall.h>
#include <unistd.h>

#include "level_tables.h"
#include "maximize.h"
#include "rom_file.h"
#include "rom_test_support.h"

using namespace thornwake;
using namespace thornwake::testing;

namespace {

struct Call {
    char kind;  // 'r' read, 'w' write, 's' flush to the device
    std::uint64_t offset;
    std::size_t size;
    friend bool operator==(const Call& a, const Call& b) {
        return a.kind == b.kind && a.offset == b.offset && a.size == b.size;
    }
};

bool recording = false;
std::vector<Call> calls;

QByteArray Show(const std::vector<Call>& list, std::size_t at) {
    if (at >= list.size()) return "(none)";
    const Call& c = list[at];
    return QByteArray(1, c.kind) + " 0x" + QByteArray::number(qulonglong(c.offset), 16) + " " +
           QByteArray::number(qulonglong(c.size));
}

void CompareCalls(const std::vector<Call>& actual, const std::vector<Call>& expected) {
    const std::size_t n = std::max(actual.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (i >= actual.size() || i >= expected.size() || !(actual[i] == expected[i])) {
            QFAIL("call " + QByteArray::number(qulonglong(i)) + " of " + QByteArray::number(qulonglong(actual.size())) +
                  " is " + Show(actual, i) + ", expected " + Show(expected, i) + " of " +
                  QByteArray::number(qulonglong(expected.size())));
        }
    }
}

class Recording {
public:
    Recording() {
        calls.clear();
        recording = true;
    }
    ~Recording() { recording = false; }
};

// Seven writes in record order: HP's two bytes, then MP .. WIS one by one.
std::vector<Call> RecordWrites(std::uint64_t offset) {
    std::vector<Call> list = {{'w', offset, 2}};
    for (int field = 2; field < 8; ++field) list.push_back({'w', offset + field, 1});
    return list;
}

}  // namespace

extern "C" {
ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    if (recording) calls.push_back({'r', static_cast<std::uint64_t>(offset), count});
    return ::syscall(SYS_pread64, fd, buffer, count, offset);
}
ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (recording) calls.push_back({'w', static_cast<std::uint64_t>(offset), count});
    return ::syscall(SYS_pwrite64, fd, buffer, count, offset);
}
int fsync(int fd) {
    if (recording) calls.push_back({'s', 0, 0});
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
}

class IoOrderTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readingARecord();
    void writingARecord();
    void maximizingOneCharacter();
    void maxAll();

private:
    Scratch scratch_;
    std::string path_;
    RomFile file_;
};

void IoOrderTest::initTestCase() {
    path_ = scratch_.Sample();
    QVERIFY(file_.Open(path_).ok());
    Recording recording;
    QVERIFY(file_.ReadAt(0, 1).ok());
    if (calls.empty()) QSKIP("the image file is not read through pread here");
}

void IoOrderTest::readingARecord() {
    for (CharacterId character : AllCharacters) {
        const std::uint64_t at = RecordOffset(character, 5);
        std::vector<Call> expected = {{'r', at, 2}};
        if (character != CharacterId::Hero) expected.push_back({'r', at + 2, 1});
        for (int field = 3; field < 8; ++field) expected.push_back({'r', at + field, 1});
        Recording recording;
        QVERIFY(ReadLevelRecord(file_, character, 5).ok());
        CompareCalls(calls, expected);
    }
}

void IoOrderTest::writingARecord() {
    for (CharacterId character : AllCharacters) {
        std::vector<Call> expected = RecordWrites(RecordOffset(character, 98));
        expected.push_back({'s', 0, 0});
        Recording recording;
        QVERIFY(WriteLevelRecord(file_, character, 98, LevelRecord{5, 6, 7, 8, 9, 10, 11}).ok());
        CompareCalls(calls, expected);
    }
}

void IoOrderTest::maximizingOneCharacter() {
    using Op = Result<MaxOutcome> (*)(RomFile&, const ProgressCallback&);
    const std::pair<Op, std::uint64_t> operations[] = {
        {MaxHero, 0x104210}, {MaxGirl, 0x104528}, {MaxSprite, 0x104840}};
    for (const auto& [run, base] : operations) {
        std::vector<Call> expected;
        for (int i = 0; i < 99; ++i) {
            for (const Call& c : RecordWrites(base + 8 * i)) expected.push_back(c);
            expected.push_back({'p', std::uint64_t(i), 0});
        }
        expected.push_back({'s', 0, 0});
        Recording recording;
        int progress = 0;
        QVERIFY(run(file_, [&] { calls.push_back({'p', std::uint64_t(progress++), 0}); }).ok());
        CompareCalls(calls, expected);
    }
}

void IoOrderTest::maxAll() {
    std::vector<Call> expected;
    int step = 0;
    for (int k = 0; k < 297; ++k) {
        for (const Call& c : RecordWrites(0x104210 + 8 * k)) expected.push_back(c);
        expected.push_back({'p', std::uint64_t(step++), 0});
    }
    for (int i = 0; i < 99; ++i) {
        expected.push_back({'w', 0x104210 + 8 * std::uint64_t(i) + 2, 1});
        expected.push_back({'p', std::uint64_t(step++), 0});
    }
    expected.push_back({'s', 0, 0});
    Recording recording;
    int progress = 0;
    QVERIFY(MaxAll(file_, [&] { calls.push_back({'p', std::uint64_t(progress++), 0}); }).ok());
    CompareCalls(calls, expected);
}

QTEST_GUILESS_MAIN(IoOrderTest)
#include "tst_io_order.moc"
