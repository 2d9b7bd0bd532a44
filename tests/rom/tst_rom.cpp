// The ROM image logic on real files: the size check, what opens and how, reads
// and writes kept inside the file, the identity check and the writer's lock,
// the level records' bytes, stat values as text, the maximize operations and
// the sample image. Files are looked at with plain streams, never through the
// code under test, and the table positions are written out here.
//
// This program puts its own pread, pwrite and fsync in front of the C
// library's: while recording, it writes down every call and fails the one it
// is told to, so the tests see the exact calls and what a failure leaves.

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "level_tables.h"
#include "maximize.h"
#include "rom_file.h"
#include "sample_image.h"

using namespace thornwake;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint64_t HeroBase = 0x104210, GirlBase = 0x104528, SpriteBase = 0x104840, TablesEnd = 0x104B58;
constexpr std::uint64_t Bases[] = {HeroBase, GirlBase, SpriteBase};

struct Operation {
    const char* name;
    Result<MaxOutcome> (*run)(RomFile&, const ProgressCallback&);  // none: WriteLevelRecord of level 42
    std::uint64_t begin, end;                                       // the records it writes
    CharacterId character;
};
const Operation Operations[] = {{"Hero record", nullptr, HeroBase + 328, HeroBase + 336, CharacterId::Hero},
                                {"Girl record", nullptr, GirlBase + 328, GirlBase + 336, CharacterId::Girl},
                                {"Sprite record", nullptr, SpriteBase + 328, SpriteBase + 336, CharacterId::Sprite},
                                {"MaxHero", MaxHero, HeroBase, GirlBase, CharacterId::Hero},
                                {"MaxGirl", MaxGirl, GirlBase, SpriteBase, CharacterId::Girl},
                                {"MaxSprite", MaxSprite, SpriteBase, TablesEnd, CharacterId::Sprite},
                                {"MaxAll", MaxAll, HeroBase, TablesEnd, CharacterId::Hero}};

void Put(Bytes& image, std::uint64_t at, const Bytes& bytes) { std::copy(bytes.begin(), bytes.end(), image.begin() + std::ptrdiff_t(at)); }

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

const Bytes& SampleImage() {
    static const Bytes image = MakeSampleImage();
    return image;
}

QString Text(const std::string& message) { return QString::fromStdString(message); }

// "r", "w" with offset and size; "s" a flush to the device; "p" a progress callback.
QByteArray Call(char kind, std::uint64_t offset = 0, std::size_t size = 0) {
    return QByteArray(1, kind) + " 0x" + QByteArray::number(qulonglong(offset), 16) + " " + QByteArray::number(qulonglong(size));
}

struct Recorder {
    bool on = false;
    QByteArrayList calls;
    int writes = 0;
    int failingWrite = -1;  // the pwrite that fails with ENOSPC, counted from 0
    int flushError = 0;     // the errno of a failing fsync
} recorder;

// The calls of `op` in order: a record write reads the record first (the
// Hero's without his MP byte); seven writes a record; MaxAll's second pass.
QByteArrayList CallsOf(const Operation& op) {
    QByteArrayList calls;
    for (int field = 0; !op.run && field < 8; field += field ? 1 : 2) {
        if (field != 2 || op.character != CharacterId::Hero) calls << Call('r', op.begin + field, field ? 1 : 2);
    }
    for (std::uint64_t at = op.begin; at < op.end; at += 8) {
        for (int field = 0; field < 8; field += field ? 1 : 2) calls << Call('w', at + field, field ? 1 : 2);
        if (op.run) calls << Call('p');
    }
    for (int i = 0; op.run == MaxAll && i < 99; ++i) calls << Call('w', HeroBase + 8 * i + 2, 1) << Call('p');
    return calls << Call('s');
}

// The sample image after the first `writes` writes of `op`: its records
// maximized in turn, a field a write, the Hero's MP as 0 (99 in MaxAll's first
// pass); then MaxAll's second pass sets a Hero MP byte to 0 a write.
Bytes AfterWrites(const Operation& op, int writes) {
    Bytes image = SampleImage();
    for (std::uint64_t at = op.begin; at < op.end && writes > 0; at += 8) {
        const Bytes maxed = {0xE7, 0x03, std::uint8_t(at >= GirlBase || op.run == MaxAll ? 99 : 0), 99, 99, 99, 99, 99};
        const int fields = std::min(writes, 7);
        Put(image, at, Bytes(maxed.begin(), maxed.begin() + fields + 1));
        writes -= fields;
    }
    for (std::uint64_t at = HeroBase + 2; writes-- > 0; at += 8) image[at] = 0;
    return image;
}

// Makes the file refuse being opened for writing, or allows it again: read-only
// bits, or for the superuser, who ignores them, the immutable attribute.
bool SetReadOnly(const std::string& path, bool readOnly) {
    if (::geteuid() != 0) return ::chmod(path.c_str(), readOnly ? 0444 : 0644) == 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = readOnly ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) ::close(fd);
    return done;
}

}  // namespace

extern "C" {
ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    if (recorder.on) recorder.calls << Call('r', std::uint64_t(offset), count);
    return ::syscall(SYS_pread64, fd, buffer, count, offset);
}
ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (recorder.on) recorder.calls << Call('w', std::uint64_t(offset), count);
    if (recorder.on && recorder.writes++ == recorder.failingWrite) return errno = ENOSPC, -1;
    return ::syscall(SYS_pwrite64, fd, buffer, count, offset);
}
int fsync(int fd) {
    if (recorder.on) recorder.calls << Call('s');
    if (recorder.on && recorder.flushError) return errno = recorder.flushError, -1;
    return int(::syscall(SYS_fsync, fd));
}
}

class RomTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    bool interposed_ = false;

    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
    // The sample image, or its first `length` bytes.
    std::string Sample(const char* name = "sample.sfc", std::size_t length = SampleImageSize) const {
        std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(SampleImage().data()), std::streamsize(length));
        return Path(name);
    }

private slots:
    void initTestCase() {
        RomFile file;
        QVERIFY(file.Open(Sample()).ok());
        recorder.on = true;
        QVERIFY(file.ReadAt(0, 1).ok());
        recorder.on = false;
        interposed_ = !recorder.calls.isEmpty();
    }

    void sizeCheck() {
        const std::string path = Sample("sized.smc", 0);
        for (quint64 n : {0u, 2097152u, 2097663u, 2097664u, 2097665u, 3146240u, 3146241u}) {
            std::filesystem::resize_file(path, n);
            RomFile file;
            QVERIFY(file.Open(path).ok());
            QCOMPARE(file.LoadROMFileSize(path).value() == SizeCheck::Refused, n == 2097664u || n == 3146241u);
            QCOMPARE(std::filesystem::file_size(path), std::uintmax_t{n});
        }
    }

    // Only an existing regular file opens, links followed, and nothing is
    // created. Opened for reading, it reads; its writes and flush are refused.
    void open_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("refusal");  // "": opens; "regular": not a regular file; else the system's reason
        const QString sample = QString::fromStdString(Sample()), link = QString::fromStdString(Path("link.sfc"));
        const QString fifo = QString::fromStdString(Path("fifo")), zeroLink = QString::fromStdString(Path("zero.sfc"));
        QVERIFY(::mkfifo(fifo.toLocal8Bit(), 0600) == 0 && ::symlink(sample.toLocal8Bit(), link.toLocal8Bit()) == 0);
        QVERIFY(::symlink("/dev/zero", zeroLink.toLocal8Bit()) == 0);
        for (bool readOnly : {false, true}) {
            const char* mode = readOnly ? "read-only" : "read-write";
            for (const QString& path : {sample, link}) QTest::addRow("%s, %s", qPrintable(path), mode) << path << readOnly << QString();
            QTest::addRow("unwritable file, %s", mode) << QString("unwritable") << readOnly << QString(readOnly ? "" : "denied");
            for (const char* missing : {"none.sfc", "none/a.sfc"}) {
                QTest::addRow("%s, %s", missing, mode) << QString::fromStdString(Path(missing)) << readOnly << QString(strerror(ENOENT));
            }
            for (const QString& path : {dir_.path(), fifo, QString("/dev/zero"), QString("/dev/full"), zeroLink, QString("loop device")}) {
                QTest::addRow("%s, %s", qPrintable(path), mode) << path << readOnly << QString("regular");
            }
        }
    }

    void open() {
        QFETCH(QString, path);
        QFETCH(bool, readOnly);
        QFETCH(QString, refusal);
        if (path == "unwritable" && !SetReadOnly(Sample("unwritable.sfc"), true)) QSKIP("cannot make a file read-only here");
        const auto restore = qScopeGuard([&] { SetReadOnly(Path("unwritable.sfc"), false); });
        if (path == "unwritable") path = QString::fromStdString(Path("unwritable.sfc"));
        if (refusal == "denied") refusal = strerror(::geteuid() == 0 ? EPERM : EACCES);
        if (path == "loop device") {  // a block device that holds an image
            QProcess losetup;
            losetup.start("losetup", {"--find", "--show", QString::fromStdString(Sample("loop.sfc"))});
            if (!losetup.waitForFinished(10000) || losetup.exitCode() != 0) QSKIP("no loop device here");
            path = QString::fromLocal8Bit(losetup.readAllStandardOutput().trimmed());
        }
        const auto detach = qScopeGuard([&] { if (path.startsWith("/dev/loop")) QProcess::execute("losetup", {"-d", path}); });
        const std::string name = path.toStdString();
        const bool existed = std::filesystem::exists(name);
        RomFile file;
        ::alarm(10);  // an open that hangs (on a FIFO) ends the test
        const Status opened = file.Open(name, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
        ::alarm(0);
        QCOMPARE(Text(opened.message()), refusal.isEmpty()        ? ""
                                         : refusal == "regular" ? path + " is not a regular file."
                                                                : "Cannot open \"" + path + "\": " + refusal + ".");
        QCOMPARE(file.IsOpen(), refusal.isEmpty());
        QCOMPARE(std::filesystem::exists(name), existed);
        if (!readOnly || !file.IsOpen()) return;
        const auto read = ReadLevelRecord(file, CharacterId::Sprite, 0);
        QVERIFY(read.ok() && read.value().HP == (SampleImage()[SpriteBase] | SampleImage()[SpriteBase + 1] << 8));
        const QString refused = "Cannot write \"" + path + "\": it was opened for reading only.";
        QCOMPARE(Text(WriteLevelRecord(file, CharacterId::Girl, 3, MaxedRecord).message()), refused);
        QCOMPARE(Text(file.Flush().message()), refused);
        QVERIFY(!MaxAll(file, {}).ok() && ReadWholeFile(name) == SampleImage());
    }

    // Another program cuts the file short, one byte into the Hero's first record.
    void rangesPastTheEndOfAFileCutShort_data() {
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<int>("count");
        QTest::newRow("last byte and one more") << quint64{HeroBase + 6} << 2;
        QTest::newRow("just past the end") << quint64{HeroBase + 7} << 1;
        QTest::newRow("offset near 2^64") << quint64{~0ULL - 1} << 2;
    }

    void rangesPastTheEndOfAFileCutShort() {
        QFETCH(quint64, offset);
        QFETCH(int, count);
        const std::string path = Sample("cut.sfc");
        RomFile file;
        QVERIFY(file.Open(path).ok());
        std::filesystem::resize_file(path, HeroBase + 7);
        Bytes expected = ReadWholeFile(path);
        for (const std::string& message : {file.ReadAt(offset, std::size_t(count)).message(), file.WriteAt(offset, Bytes(std::size_t(count))).message(),
                                           WriteLevelRecord(file, CharacterId::Hero, 0, MaxedRecord).message()}) {
            QVERIFY2(message.find(" is only " + std::to_string(HeroBase + 7) + " bytes long.") != std::string::npos, message.c_str());
        }
        const auto tail = file.ReadAt(HeroBase + 5, 2);  // right up to the end is fine
        QVERIFY(tail.ok() && tail.value() == Bytes(&expected[HeroBase + 5], &expected[HeroBase + 7]));
        QVERIFY(file.WriteAt(HeroBase + 5, {0xAB, 0xCD}).ok());
        Put(expected, HeroBase + 5, {0xAB, 0xCD});
        QVERIFY(ReadWholeFile(path) == expected);
        file.Close();
        QVERIFY(!file.ReadAt(0, 1).ok() && !file.WriteAt(0, {1}).ok());
    }

    // The identity check and the writer's lock, against a file changed by
    // another program, or locked by it on its own descriptor.
    void writerLock_data() {
        QTest::addColumn<QString>("change");
        for (const char* change : {"none", "renamed away", "replaced", "deleted", "locked by another"}) QTest::newRow(change) << QString(change);
    }

    void writerLock() {
        QFETCH(QString, change);
        const std::string path = Sample("locked.sfc"), other = Sample("other.sfc");
        RomFile file;
        QVERIFY(file.Open(path).ok());
        QVERIFY(!file.Open(other).ok() && file.Path() == path);  // one image at a time
        const int theirs = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const auto closeTheirs = qScopeGuard([&] { ::close(theirs); });
        if (change == "renamed away") std::filesystem::rename(path, path + ".moved");
        if (change == "replaced") std::filesystem::rename(other, path);
        if (change == "deleted") std::filesystem::remove(path);
        if (change == "locked by another") QCOMPARE(::flock(theirs, LOCK_EX | LOCK_NB), 0);
        const QString name = QString::fromStdString(path), locked = name + " is being changed by another program.";
        const QString moved = change == "none" || change == "locked by another" ? "" : name + " was moved, replaced or deleted since it was opened. Open it again.";
        QCOMPARE(Text(file.CheckStillAtPath().message()), moved);
        {
            WriterLock lock(file);
            QCOMPARE(Text(lock.Acquire(50ms).message()), change == "locked by another" ? locked : moved);
            QCOMPARE(::flock(theirs, LOCK_SH | LOCK_NB) == 0, change != "none");  // held: not even a reader gets it
        }
        QCOMPARE(::flock(theirs, LOCK_EX | LOCK_NB), 0);  // released at the end of the scope
    }

    // Every record reads the bytes at its offset, the Hero's without his MP
    // byte; a write changes its eight bytes, the Hero's MP byte to 0.
    void recordBytes_data() {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("level");
        for (int t = 0; t < 3; ++t) {
            for (int level : {0, 41, 98}) QTest::addRow("%s %d", Operations[t].name, level + 1) << t << level;
        }
    }

    void recordBytes() {
        QFETCH(int, table);
        QFETCH(int, level);
        const CharacterId character = Operations[table].character;
        const std::uint64_t base = Bases[table], at = base + 8 * std::uint64_t(level);
        Bytes expected = SampleImage();
        Put(expected, at, {0x00, 0x80, 0x5A, 1, 2, 3, 4, 5});  // HP -32768, a stray MP byte
        const std::string path = Path("records.sfc");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(expected.data()), std::streamsize(expected.size()));
        RomFile file;
        QVERIFY(file.Open(path).ok());
        for (int k = 0; k < LevelCount; ++k) {
            const LevelRecord r = ReadLevelRecord(file, character, k).value();
            Bytes stored(&expected[base + 8 * k], &expected[base + 8 * k + 8]);
            if (character == CharacterId::Hero) stored[2] = 0;
            QCOMPARE(Bytes({std::uint8_t(r.HP), std::uint8_t(std::uint16_t(r.HP) >> 8), r.MP, r.STR, r.AGI, r.CON, r.INTL, r.WIS}), stored);
        }
        QVERIFY(WriteLevelRecord(file, character, level, LevelRecord{0x1234, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}).ok());
        Put(expected, at, {0x34, 0x12, std::uint8_t(character == CharacterId::Hero ? 0 : 0xA1), 0xB2, 0xC3, 0xD4, 0xE5, 0xF6});
        QVERIFY(ReadWholeFile(path) == expected);
    }

    void formatAndParseEveryValue() {
        for (int v = -32768; v <= 32767; ++v) {
            const bool isStat = v >= 0 && v <= 255;
            const std::string text = std::to_string(v);
            if (FormatHP(std::int16_t(v)) != text || ParseHP(text) != std::optional<std::int16_t>(v) ||
                (isStat && FormatStat(std::uint8_t(v)) != text) || ParseStat(text) != (isStat ? std::optional<std::uint8_t>(v) : std::nullopt)) {
                QFAIL(("the value " + text + " is formatted or parsed wrongly").c_str());
            }
        }
    }

    // Text, what ParseHP and what ParseStat make of it ("x": a failure). The
    // long fractions fail any parser that goes through a double.
    void parse_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("hp");
        QTest::addColumn<QString>("stat");
        const std::tuple<QByteArray, const char*, const char*> rows[] = {
            {"255", "255", "255"}, {"256", "256", "x"}, {"-1", "-1", "x"}, {"", "x", "x"}, {"  7  ", "7", "7"}, {"\t7\t", "7", "7"},
            {"12abc", "x", "x"}, {"-32768", "-32768", "x"}, {"32768", "x", "x"}, {"-32769", "x", "x"}, {"2.5", "2", "2"},
            {"3.5", "4", "4"}, {"-2.5", "-2", "x"}, {"-3.5", "-4", "x"}, {"2.51", "3", "3"}, {"2.49", "2", "2"}, {"+12", "12", "12"},
            {"255.5", "256", "x"}, {"32767.5", "x", "x"}, {"-32768.5", "-32768", "x"}, {"-0.4", "0", "0"}, {".5", "0", "0"},
            {"7.", "7", "7"}, {"2.5000000000000000001", "3", "3"}, {"255.49999999999999999", "255", "255"},
            {QByteArray(400, '0') + "42", "42", "42"}, {"1" + QByteArray(400, '0'), "x", "x"}, {"7." + QByteArray(5000, '4'), "7", "7"},
            {"1e2", "x", "x"}, {"0x10", "x", "x"}, {"1,000", "x", "x"}, {"2,5", "x", "x"}, {"1 000", "x", "x"}, {"- 5", "x", "x"},
            {"--5", "x", "x"}, {"-", "x", "x"}, {".", "x", "x"}, {"1.2.3", "x", "x"}, {"5-", "x", "x"}, {"inf", "x", "x"},
            {"nan", "x", "x"}, {QByteArray("7\0" "1", 3), "x", "x"}, {"\xEF\xBC\x97", "x", "x"}, {"\xC2\xA0" "7", "x", "x"},
            {"18446744073709551617", "x", "x"}, {"4294967297", "x", "x"}, {"65537", "x", "x"}, {"-256", "-256", "x"}};
        int i = 0;
        for (const auto& [text, hp, stat] : rows) QTest::addRow("%d %s", ++i, text.left(24).constData()) << text << QString(hp) << QString(stat);
    }

    void parse() {
        QFETCH(QByteArray, text);
        QFETCH(QString, hp);
        QFETCH(QString, stat);
        const std::string_view view(text.constData(), std::size_t(text.size()));
        const auto show = [](auto value) { return value ? QString::number(*value) : QString("x"); };
        QCOMPARE(show(ParseHP(view)), hp);
        QCOMPARE(show(ParseField(StatField::HP, view)), hp);
        QCOMPARE(show(ParseStat(view)), stat);
        QCOMPARE(show(ParseField(StatField::WIS, view)), stat);
    }

    // The calls a record write or a maximize operation makes, the bytes it
    // leaves and what it tells: complete, on a short image (nothing written),
    // and when the system refuses a write or the flush midway.
    void writes_data() {
        QTest::addColumn<int>("operation");
        QTest::addColumn<quint64>("length");
        QTest::addColumn<int>("failingWrite");
        QTest::addColumn<int>("flushError");
        QTest::addColumn<QString>("told");  // after the system's error
        for (int op = 0; op < 7; ++op) {
            const Operation& o = Operations[op];
            QTest::addRow("%s", o.name) << op << quint64{SampleImageSize} << -1 << 0 << QString();
            QTest::addRow("%s, image ends with it", o.name) << op << quint64{o.end} << -1 << 0 << QString();
            QTest::addRow("%s, its last byte missing", o.name) << op << quint64{o.end - 1} << -1 << 0 << QString();
        }
        const auto row = [](const char* name, int op, int write, int flush, const char* told) {
            QTest::newRow(name) << op << quint64{SampleImageSize} << write << flush << QString(told);
        };
        row("record, its first field", 2, 0, 0, "");
        row("record, its CON", 2, 4, 0, "");
        for (int error : {EINVAL, EROFS, EIO}) QTest::addRow("record, flush errno %d", error) << 1 << quint64{SampleImageSize} << -1 << error << QString();
        row("MaxHero, first write", 3, 0, 0, "0 of 99 records were written before the error; Hero level 1 may be incomplete.");
        row("MaxSprite, level 42", 5, 41 * 7, 0, "41 of 99 records were written before the error; Sprite level 42 may be incomplete.");
        row("MaxGirl, WIS of level 99", 4, 98 * 7 + 6, 0, "98 of 99 records were written before the error; Girl level 99 may be incomplete.");
        row("MaxAll, first write", 6, 0, 0, "0 of 297 records were written before the error; Hero level 1 may be incomplete.");
        row("MaxAll, Girl level 2", 6, 100 * 7 + 2, 0,
            "100 of 297 records were written before the error; Girl level 2 may be incomplete. The Hero's MP byte holds 99 in each Hero record written.");
        row("MaxAll, second pass", 6, 297 * 7 + 10, 0,
            "All 297 records were written before the error; the Hero's MP byte of level 11 and of the levels after it may still be 99.");
        row("MaxHero, flush", 3, -1, EIO, "All records were written before the error, but they may not all have reached the disk.");
        row("MaxAll, flush", 6, -1, EROFS, "All records were written before the error, but they may not all have reached the disk.");
    }

    void writes() {
        QFETCH(int, operation);
        QFETCH(quint64, length);
        QFETCH(int, failingWrite);
        QFETCH(int, flushError);
        QFETCH(QString, told);
        const Operation& op = Operations[operation];
        if (!interposed_ && (failingWrite >= 0 || flushError)) QSKIP("the image file is not written through pwrite here");
        const std::string path = Sample("written.sfc", length);
        const bool fits = length >= op.end;
        QByteArrayList calls = fits ? CallsOf(op) : QByteArrayList();
        const int written = failingWrite >= 0 ? failingWrite : int(std::count_if(calls.begin(), calls.end(), [](auto& c) { return c[0] == 'w'; }));
        for (int w = 0, i = 0; failingWrite >= 0 && i < calls.size(); ++i) {
            if (calls[i][0] == 'w' && w++ == failingWrite) calls.erase(calls.begin() + i + 1, calls.end());
        }
        Bytes expected = AfterWrites(op, written);
        expected.resize(length);
        RomFile file;
        QVERIFY(file.Open(path).ok());
        for (int run = 0; run < (told.isEmpty() && failingWrite < 0 && !flushError ? 2 : 1); ++run) {  // twice: the same again
            recorder = {interposed_, {}, 0, failingWrite, flushError};
            if (!op.run && fits) QVERIFY(ReadLevelRecord(file, op.character, 41).ok());
            std::size_t fields = 99;
            const Status status = op.run ? op.run(file, [] { recorder.calls << Call('p'); }).status()
                                         : WriteLevelRecord(file, op.character, 41, MaxedRecord, &fields);
            recorder.on = false;
            const QString name = "\"" + QString::fromStdString(path) + "\"";
            const QString error = failingWrite >= 0 ? "Cannot write " + name + ": " + strerror(ENOSPC) + "."
                                  : flushError      ? "Cannot flush " + name + " to disk: " + strerror(flushError) + "."
                                                    : "";
            if (fits) QCOMPARE(Text(status.message()), told.isEmpty() ? error : error + " " + told);
            else QVERIFY2(status.message().find(" is only " + std::to_string(length) + " bytes long.") != std::string::npos, status.message().c_str());
            if (!op.run) QCOMPARE(int(fields), !fits ? 0 : failingWrite >= 0 ? failingWrite : 7);
            if (interposed_) QCOMPARE(recorder.calls, calls);
            QVERIFY(ReadWholeFile(path) == expected);
        }
    }

    void closeOrReopenDuringTheCallbackStopsTheRun_data() {
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("stopAt");  // the callback that closes or reopens
        QTest::addColumn<QString>("action");
        // The first, a middle and the last callback; both passes of MaxAll.
        const std::pair<int, int> stops[] = {{4, 1}, {3, 40}, {5, 99}, {6, 150}, {6, 300}};
        for (const char* action : {"close", "open another", "reopen the same"}) {
            for (auto [op, stopAt] : stops) QTest::addRow("%s %d, %s", Operations[op].name, stopAt, action) << op << stopAt << QString(action);
        }
    }

    void closeOrReopenDuringTheCallbackStopsTheRun() {
        QFETCH(int, operation);
        QFETCH(int, stopAt);
        QFETCH(QString, action);
        const std::string path = Sample("first.sfc"), other = Sample("other.sfc");
        RomFile file;
        QVERIFY(file.Open(path).ok());
        int calls = 0;
        Bytes atStop;
        const auto outcome = Operations[operation].run(file, [&] {
            if (++calls != stopAt) return;
            atStop = ReadWholeFile(path);
            file.Close();
            if (action != "close") QVERIFY(file.Open(action == "open another" ? other : path).ok());
        });
        QVERIFY2(outcome.ok() && outcome.value() == MaxOutcome::Interrupted, outcome.message().c_str());  // stopping is no error
        QCOMPARE(calls, stopAt);
        QVERIFY(ReadWholeFile(path) == atStop && ReadWholeFile(other) == SampleImage());
    }

    // The sample image: a valid 2 MiB HiROM header and checksum, the same
    // every time, varied level tables (the other tests need that to see a
    // misplaced byte), and the program that writes it.
    void sampleImage() {
        const Bytes& image = SampleImage();
        QVERIFY(image.size() == 2097152 && image == MakeSampleImage());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&image[0xFFC0]), 21), QByteArray("THORNWAKE            "));
        QVERIFY(image[0xFFD5] == 0x31 && image[0xFFD7] == 0x0B);
        std::uint32_t sum = 0xFF + 0xFF;  // the complement counted as FF FF, the checksum as 00 00
        for (std::size_t i = 0; i < image.size(); ++i) sum += i < 0xFFDC || i > 0xFFDF ? image[i] : 0;
        QVERIFY((image[0xFFDE] | image[0xFFDF] << 8) == (sum & 0xFFFF) && (image[0xFFDC] | image[0xFFDD] << 8) == (~sum & 0xFFFF));
        int heroMpBytesSet = 0;
        for (std::uint64_t base : {HeroBase, GirlBase, SpriteBase}) {
            std::set<int> strengths;
            for (std::uint64_t at = base; at < base + 99 * 8; at += 8) {
                QVERIFY2(std::int16_t(image[at] | image[at + 1] << 8) > (at == base ? 0 : std::int16_t(image[at - 8] | image[at - 7] << 8)), "HP grows");
                QVERIFY(base == HeroBase || image[at + 2] != 0);
                heroMpBytesSet += base == HeroBase && image[at + 2] != 0;
                strengths.insert(image[at + 3]);
            }
            QVERIFY(strengths.size() > 50);
        }
        QVERIFY(heroMpBytesSet > 0 && heroMpBytesSet < 99);  // the game leaves odd bytes there
        const QString made = QString::fromStdString(Path("made.sfc"));
        for (const QStringList& arguments : {QStringList{made}, QStringList{}, QStringList{Path("none/made.sfc").c_str()}, QStringList{"a", "b"}}) {
            QProcess maker;
            maker.start(THORNWAKE_SAMPLE_IMAGE_PROGRAM, arguments);
            QVERIFY(maker.waitForFinished(30000) && maker.exitStatus() == QProcess::NormalExit);
            QCOMPARE(maker.exitCode(), arguments == QStringList{made} ? 0 : 1);
            QCOMPARE(maker.readAllStandardError().isEmpty(), arguments == QStringList{made});
        }
        QVERIFY(ReadWholeFile(made.toStdString()) == image);
    }
};

QTEST_GUILESS_MAIN(RomTest)
#include "tst_rom.moc"
