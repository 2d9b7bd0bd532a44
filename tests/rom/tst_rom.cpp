// The ROM image logic on real files: the size check, what opens and how, reads
// and writes kept inside the file, the identity check and the writer's lock,
// the level records' bytes, stat values as text, the maximize operations and
// the sample image. Files are looked at with plain streams, never through the
// code under test, and the table positions are written out here.
//
// This program puts itself in front of the system's positioned reads and
// writes and its flush (system_calls.h): while recording, it writes down every
// call and fails the one it is told to, so the tests see the exact calls and
// what a failure leaves.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "level_tables.h"
#include "maximize.h"
#include "rom_file.h"
#include "os_file.h"
#include "sample_image.h"
#include "system_calls.h"

using namespace thornwake;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint64_t HeroBase = 0x104210, GirlBase = 0x104528, SpriteBase = 0x104840, TablesEnd = 0x104B58;

// A record written (level 42), or a maximize operation; the records it writes, in file order.
struct Operation {
    const char* name;
    WriteReport (*run)(RomFile&, const ProgressCallback&);
    std::uint64_t begin;
    std::uint64_t end;
    CharacterId character;
};
const Operation Operations[] = {
    {"Hero record", nullptr, HeroBase + 328, HeroBase + 336, CharacterId::Hero},
    {"Girl record", nullptr, GirlBase + 328, GirlBase + 336, CharacterId::Girl},
    {"Sprite record", nullptr, SpriteBase + 328, SpriteBase + 336, CharacterId::Sprite},
    {"MaxHero", MaxHero, HeroBase, GirlBase, CharacterId::Hero},
    {"MaxGirl", MaxGirl, GirlBase, SpriteBase, CharacterId::Girl},
    {"MaxSprite", MaxSprite, SpriteBase, TablesEnd, CharacterId::Sprite},
    {"MaxAll", MaxAll, HeroBase, TablesEnd, CharacterId::Hero},
};

const Bytes& SampleImage() { static const Bytes image = MakeSampleImage(); return image; }
Bytes ReadWholeFile(const std::string& path) {
    Bytes bytes(std::filesystem::file_size(path));
    return std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(bytes.data()),
            std::streamsize(bytes.size())), bytes;
}
// Puts the first `count` of `bytes` at `at`.
void Put(Bytes& image, std::uint64_t at, const Bytes& bytes, int count = 8) {
    std::copy_n(bytes.begin(), std::min(count, int(bytes.size())), image.begin() + std::ptrdiff_t(at)); }
QString Text(const std::string& message) { return QString::fromStdString(message); }

// "r", "w" with offset and size; "s" a flush to the device; "p" a progress callback.
QByteArray Call(char kind, std::uint64_t offset = 0, std::size_t size = 0) {
    return kind + QByteArray(" 0x") + QByteArray::number(qulonglong(offset), 16) + " " +
           QByteArray::number(qulonglong(size));
}

// What the interposed calls did. The pwrite counted `failingWrite` (from 0)
// writes its first `shortBy` bytes and returns, and the one after it fails
// with ENOSPC; with no `shortBy` it fails itself. A flush fails with
// `flushError`.
struct Recorder {
    bool on = false;
    QByteArrayList calls;
    int writes = 0;
    int failingWrite = -1;
    int shortBy = 0;
    int flushError = 0;
} recorder;

// The calls of `op` in order: one 8-byte write a record, each followed by the
// progress callback, then one flush.
QByteArrayList CallsOf(const Operation& op) {
    QByteArrayList calls;
    for (std::uint64_t at = op.begin; at < op.end; at += 8) {
        calls << Call('w', at, 8);
        if (op.run) calls << Call('p');
    }
    calls << Call('s');
    return calls;
}

// The image after the first `bytes` bytes of `op`'s records reached it: each
// record maximized, the Hero's MP 0.
Bytes AfterWrites(const Operation& op, std::uint64_t bytes, std::size_t length) {
    Bytes image = SampleImage();
    for (std::uint64_t at = op.begin; at < op.end && at < op.begin + bytes; ++at) {
        const bool heroMP = at < GirlBase && (at - HeroBase) % 8 == 2;
        image[at] = (at - op.begin) % 8 == 0 ? 0xE7 : (at - op.begin) % 8 == 1 ? 0x03 : heroMP ? 0 : 99;
    }
    image.resize(length);
    return image;
}

// Writes the call down while recording; true (errno set) when it is to fail.
// A short write changes `count`.
bool Fails(char kind, std::uint64_t offset, std::size_t& count) {
    if (!recorder.on) return false;
    recorder.calls << Call(kind, offset, count);
    if (kind == 'w') {
        const int index = recorder.writes++;
        if (index == recorder.failingWrite && recorder.shortBy > 0) {
            count = std::size_t(recorder.shortBy);
            return false;
        }
        if (index == recorder.failingWrite + (recorder.shortBy > 0 ? 1 : 0) && recorder.failingWrite >= 0) {
            errno = ENOSPC;
            return true;
        }
    }
    if (kind == 's' && recorder.flushError) {
        errno = recorder.flushError;
        return true;
    }
    return false;
}

}  // namespace

bool InterceptCall(char kind, std::uint64_t offset, std::size_t& count) { return Fails(kind, offset, count); }

class RomTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
    // the sample image, or its first `length` bytes
    std::string Sample(const char* name, std::size_t length = SampleImageSize) const {
        return std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(SampleImage().data()),
                std::streamsize(length)), Path(name);
    }

private slots:
    void sizeCheck() {
        for (quint64 n : {0u, 2097152u, 2097663u, 2097664u, 2097665u, 3146240u, 3146241u})
            QCOMPARE(CheckROMSize(n) == SizeCheck::Refused, n == 2097664u || n == 3146241u);
    }

    // Only an existing regular file opens, links followed, and nothing is
    // created. Opened for reading, it reads; its writes and flush are refused.
    void open_data() {
        // The refusal: none, "regular" for not a regular file, or the system's reason.
        QTest::addColumn<QString>("path"); QTest::addColumn<bool>("readOnly"); QTest::addColumn<QString>("refusal");
        const QString link = QString::fromStdString(Path("link.sfc")), fifo = QString::fromStdString(Path("fifo"));
#ifndef _WIN32
        QVERIFY(::mkfifo(fifo.toLocal8Bit(), 0600) == 0 &&
                ::symlink(Sample("sample.sfc").c_str(), link.toLocal8Bit()) == 0);
#endif
        const char* linuxOnly = " (Linux only: no FIFO, device or link to open under Wine)";
        for (bool readOnly : {false, true}) {
            QTest::addRow("link to a file, %d%s", readOnly, linuxOnly) << link << readOnly << QString();
            QTest::addRow("unwritable file, %d%s", readOnly,
                          readOnly ? "" : " (Linux only: Wine lets root write a read-only file)")
                    << QString("unwritable") << readOnly << (readOnly ? "" : SystemReason(::geteuid() ? EACCES : EPERM));
            QTest::addRow("missing, %d", readOnly) << QString::fromStdString(Path("none.sfc")) << readOnly
                    << SystemReason(ENOENT);
            for (const QString& path : {dir_.path(), fifo, QString("/dev/zero"), QString("/dev/full"),
                                       QString("loop device")})
                QTest::addRow("%s, %d%s", qPrintable(path), readOnly, path == dir_.path() ? "" : linuxOnly)
                    << path << readOnly << QString("regular");
        }
    }

    void open() {
        QFETCH(QString, path); QFETCH(bool, readOnly); QFETCH(QString, refusal);
        if (const QString why = WhyNotHere(); !why.isEmpty()) QSKIP(qPrintable(why));
        // Read-only bits, or for the superuser, who ignores them, the immutable attribute.
        if (path == "unwritable") path = QString::fromStdString(Sample("unwritable.sfc"));
        if (path.endsWith("unwritable.sfc") && (::chmod(Path("unwritable.sfc").c_str(), 0444) ||
                (!::geteuid() && QProcess::execute("chattr", {"+i", path})))) QSKIP("no read-only file");
        QProcess losetup;  // a block device that holds an image
        if (path == "loop device")
            losetup.start("losetup", {"--find", "--show", QString::fromStdString(Sample("loop.sfc"))});
        if (path == "loop device" && (!losetup.waitForFinished(10000) || losetup.exitCode() != 0))
            QSKIP("no loop device here");
        if (path == "loop device") path = QString::fromLocal8Bit(losetup.readAllStandardOutput().trimmed());
        const std::string name = path.toStdString();
        const bool existed = std::filesystem::exists(name);
        RomFile file;  // on a FIFO, an open that hangs would end in the test's time limit
        const Status opened = file.Open(name, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
        if (path.startsWith("/dev/loop")) QProcess::execute("losetup", {"-d", path});
        if (path.endsWith("unwritable.sfc") && !::geteuid()) QProcess::execute("chattr", {"-i", path});
        QCOMPARE(Text(opened.message()), refusal.isEmpty() ? "" : refusal == "regular" ?
                 path + " is not a regular file." : "Cannot open \"" + path + "\": " + refusal + ".");
        QCOMPARE(file.IsOpen(), refusal.isEmpty());
        QCOMPARE(std::filesystem::exists(name), existed);
        if (!readOnly || !file.IsOpen()) return;
        QVERIFY(ReadLevelRecord(file, CharacterId::Sprite, 0).value().HP ==
                (SampleImage()[SpriteBase] | SampleImage()[SpriteBase + 1] << 8));
        // a record write, then a flush
        const QString refused = "Cannot write \"" + path + "\": it was opened for reading only.";
        QCOMPARE(Text(WriteLevelRecord(file, CharacterId::Girl, 3, MaxedRecord).message()) +
                Text(file.Flush().message()), refused + " Nothing was written." + refused);
        QVERIFY(!MaxAll(file, {}).ok() && ReadWholeFile(name) == SampleImage());
    }

    // An image that ends one byte into the Hero's first record: a range past
    // its end, near 2^64 too, is refused with the file's size. Cut shorter by
    // another program, it is refused whole: its offsets may mean other bytes now.
    void rangesPastTheEnd() {
        RomFile file;
        QVERIFY(file.Open(Sample("cut.sfc", HeroBase + 7)).ok());
        for (std::uint64_t offset : {HeroBase + 6, HeroBase + 7, ~std::uint64_t{0} - 1}) {
            const std::string told = " is only " + std::to_string(HeroBase + 7) + " bytes long.";
            QVERIFY(file.ReadAt(offset, 2).message().find(told) != std::string::npos);
            QVERIFY(file.WriteAt(offset, {1, 2}).message().find(told) != std::string::npos);
        }
        std::filesystem::resize_file(Path("cut.sfc"), HeroBase);
        const std::string changed = Path("cut.sfc") + " changed size since it was opened (" +
                                    std::to_string(HeroBase + 7) + " bytes then, " + std::to_string(HeroBase) +
                                    " now). Open it again.";
        QCOMPARE(Text(file.ReadAt(0, 1).message()), Text(changed));
        QCOMPARE(Text(file.WriteAt(0, {1}).message()), Text(changed));
        QVERIFY(std::filesystem::file_size(Path("cut.sfc")) == HeroBase);
    }

    // The identity check and the writer's lock, against a file changed by
    // another program, or locked by it on its own descriptor.
    void writerLock_data() {
        QTest::addColumn<QString>("change");  // made by another program
        for (const char* change : {"none", "renamed away", "replaced", "deleted", "locked by another", "grown"})
            QTest::addRow("%s%s", change, QByteArray(change) == "deleted" ? DeletedWhileOpen : "") << QString(change);
    }

    void writerLock() {
        QFETCH(QString, change);
        if (const QString why = WhyNotHere(); !why.isEmpty()) QSKIP(qPrintable(why));
        const std::string path = Sample("locked.sfc"), other = Sample("other.sfc");
        RomFile file;
        QVERIFY(file.Open(path).ok());
        QVERIFY(!file.Open(other).ok() && file.Path() == path);  // one image at a time
        const os::Handle theirs = os::OpenExisting(path, os::Access::ReadOnly).value();
        if (change == "renamed away" || change == "replaced") std::filesystem::rename(path, path + ".moved");
        if (change == "replaced") std::filesystem::rename(other, path);  // another file, the first one kept elsewhere
        if (change == "deleted") std::filesystem::remove(path);
        if (change == "locked by another") QVERIFY(os::TryLock(theirs).value());
        if (change == "grown") std::ofstream(path, std::ios::binary | std::ios::app).put('\0');
        QString expected = change == "none" ? "" : Text(path) + (change == "locked by another"
                ? " is being changed by another program."
                : " was moved, replaced or deleted since it was opened. Open it again.");
        if (change == "grown") expected = Text(path) + " changed size since it was opened (2097152 bytes then, 2097153 now). Open it again.";
        QCOMPARE(Text(file.CheckStillAtPath().message()), change == "locked by another" || change == "grown" ? "" : expected);
        int waits = 0;
        std::optional<WriterLock> lock(std::in_place, file);
        QCOMPARE(Text(lock->Acquire(std::chrono::milliseconds(50), [&] { ++waits; }).message()), expected);
        QCOMPARE(waits, change == "locked by another" ? 1 : 0);  // told once that the wait began
        {
            WriterLock inner(file);  // a save inside a maximize run: the lock is counted, not taken again
            QCOMPARE(Text(inner.Acquire(std::chrono::milliseconds(0)).message()), expected);
        }
        if (change == "locked by another") os::Unlock(theirs);
        QCOMPARE(os::TryLock(theirs).value(), change != "none");  // held: another handle does not get it
        os::Unlock(theirs);
        lock.reset();
        QVERIFY(os::TryLock(theirs).value());  // released at the end of the scope
        os::Close(theirs);
    }

    // Every record reads the bytes at its offset, the Hero's without his MP
    // byte; a write changes its eight bytes, the Hero's MP byte to 0.
    void recordBytes() {
        for (const std::uint64_t base : {HeroBase, GirlBase, SpriteBase}) {
            const CharacterId character = base == HeroBase ? CharacterId::Hero
                                        : base == GirlBase ? CharacterId::Girl : CharacterId::Sprite;
            Bytes expected = SampleImage();
            Put(expected, base + 8 * 41, {0x00, 0x80, 0x5A, 1, 2, 3, 4, 5});  // HP -32768, a stray MP byte
            std::ofstream(Path("records.sfc"), std::ios::binary).write(reinterpret_cast<const char*>(expected.data()),
                    std::streamsize(expected.size()));
            RomFile file;
            QVERIFY(file.Open(Path("records.sfc")).ok());
            for (std::uint64_t at = base; at < base + 8 * 99; at += 8) {
                const LevelRecord r = ReadLevelRecord(file, character, int(at - base) / 8).value();
                const Bytes stored = {expected[at], expected[at + 1],
                                      std::uint8_t(base == HeroBase ? 0 : expected[at + 2]), expected[at + 3],
                                      expected[at + 4], expected[at + 5], expected[at + 6], expected[at + 7]};
                QCOMPARE(Bytes({std::uint8_t(r.HP), std::uint8_t(std::uint16_t(r.HP) >> 8), r.MP, r.STR, r.AGI, r.CON,
                                r.INTL, r.WIS}), stored);
            }
            QVERIFY(WriteLevelRecord(file, character, 98,
                                     LevelRecord{0x1234, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}).ok());
            Put(expected, base + 8 * 98,
                {0x34, 0x12, std::uint8_t(base == HeroBase ? 0 : 0xA1), 0xB2, 0xC3, 0xD4, 0xE5, 0xF6});
            QVERIFY(ReadWholeFile(Path("records.sfc")) == expected);
        }
    }

    void formatAndParseEveryValue() {
        for (int v = -32768; v <= 32767; ++v) {
            const std::string text = std::to_string(v);
            if (FormatHP(std::int16_t(v)) != text || ParseHP(text) != std::optional<std::int16_t>(v) ||
                (v >= 0 && v <= 255 && FormatStat(std::uint8_t(v)) != text) ||
                ParseStat(text) != (v >= 0 && v <= 255 ? std::optional<std::uint8_t>(v) : std::nullopt))
                QFAIL(("the value " + text + " is formatted or parsed wrongly").c_str());
        }
    }

    // Text, what ParseHP and what ParseStat make of it ("x": a failure). The
    // long fractions fail any parser that goes through a double.
    void parse_data() {
        QTest::addColumn<QByteArray>("text"); QTest::addColumn<QString>("hp"); QTest::addColumn<QString>("stat");
        const std::tuple<QByteArray, const char*, const char*> rows[] = {
            {"", "x", "x"}, {"  7  ", "7", "7"}, {"\t7\t", "7", "7"}, {"12abc", "x", "x"}, {"32768", "x", "x"},
            {"-32769", "x", "x"},
            {"2.5", "2", "2"}, {"3.5", "4", "4"}, {"-2.5", "-2", "x"}, {"-3.5", "-4", "x"}, {"2.51", "3", "3"},
            {"2.49", "2", "2"},
            {"+12", "12", "12"}, {"255.5", "256", "x"}, {"32767.5", "x", "x"}, {"-32768.5", "-32768", "x"},
            {"-0.4", "0", "0"}, {".5", "0", "0"},
            {"7.", "7", "7"}, {"2.5000000000000000001", "3", "3"}, {"255.49999999999999999", "255", "255"},
            {QByteArray(400, '0') + "42", "42", "42"}, {"1" + QByteArray(400, '0'), "x", "x"},
            {"7." + QByteArray(5000, '4'), "7", "7"},
            {"1e2", "x", "x"}, {"0x10", "x", "x"}, {"1,000", "x", "x"}, {"2,5", "x", "x"}, {"1 000", "x", "x"},
            {"- 5", "x", "x"},
            {"--5", "x", "x"}, {"-", "x", "x"}, {".", "x", "x"}, {"1.2.3", "x", "x"}, {"5-", "x", "x"},
            {"inf", "x", "x"}, {"nan", "x", "x"},
            {QByteArray("7\0" "1", 3), "x", "x"}, {"\xEF\xBC\x97", "x", "x"}, {"\xC2\xA0" "7", "x", "x"},
            {"18446744073709551617", "x", "x"},
            {"4294967297", "x", "x"}, {"65537", "x", "x"}};
        int i = 0;
        for (const auto& [text, hp, stat] : rows)
            QTest::addRow("%d %s", ++i, text.left(24).constData()) << text << QString(hp) << QString(stat);
    }

    void parse() {
        QFETCH(QByteArray, text); QFETCH(QString, hp); QFETCH(QString, stat);
        const std::string_view view(text.constData(), std::size_t(text.size()));
        const auto show = [](auto value) { return value ? QString::number(*value) : QString("x"); };
        QCOMPARE(show(ParseHP(view)) + show(ParseField(StatField::HP, view)), hp + hp);
        QCOMPARE(show(ParseStat(view)) + show(ParseField(StatField::WIS, view)), stat + stat);
    }

    // The calls a record write or a maximize operation makes, the bytes it
    // leaves and what it tells: run to the end (twice: the same again), on a
    // short image (nothing written), when the system refuses a write, writes
    // only part of one, or refuses the flush, and when the progress callback
    // stops the run, closes or reopens the file, or another program moves the
    // file or changes its size meanwhile.
    void writes_data() {
        QTest::addColumn<int>("operation");
        QTest::addColumn<quint64>("length");
        QTest::addColumn<int>("failingWrite");
        QTest::addColumn<int>("shortBy");
        QTest::addColumn<int>("flushError");
        QTest::addColumn<QString>("callback");  // at which record, and what it does
        QTest::addColumn<int>("written");       // bytes of the operation's records that reach the file
        QTest::addColumn<QString>("told");      // after the system's message
        for (int op = 0; op < 7; ++op) {
            const Operation& o = Operations[op];
            const int all = int(o.end - o.begin);
            for (quint64 length : {quint64{TablesEnd + 8}, quint64{o.end}}) {
                QTest::addRow("%s, image of %llu bytes", o.name, length)
                    << op << length << -1 << 0 << 0 << QString() << all << QString();
            }
            QTest::addRow("%s, image one byte short", o.name)
                << op << quint64{o.end - 1} << -1 << 0 << 0 << QString() << 0 << QString("Nothing was written.");
        }
        const auto row = [](const char* name, int op, int write, int shortBy, int flush, const char* callback,
                            int written, const char* told) {
            QTest::newRow(name) << op << quint64{TablesEnd + 8} << write << shortBy << flush << QString(callback)
                                << written << QString(told);
        };
        row("record, its write fails", 2, 0, 0, 0, "", 0, "Nothing was written.");
        row("Hero record, one byte reaches the file", 0, 0, 1, 0, "", 1,
            "Level 42 of the Hero is incomplete: its HP only in part; the other fields kept their old values.");
        row("Girl record, three bytes reach the file", 1, 0, 3, 0, "", 3,
            "Level 42 of the Girl is incomplete: its HP and MP reached the file; the other fields kept their old "
            "values.");
        row("record, flush fails", 1, -1, 0, EIO, "", 8,
            "The new values are in the file, but the system could not confirm that they reached the disk.");
        row("MaxHero, first write fails", 3, 0, 0, 0, "", 0, "Nothing was written.");
        row("MaxSprite, level 42 fails", 5, 41, 0, 0, "", 41 * 8,
            "Sprite levels 1 to 41 reached the file whole. The other levels were not written.");
        row("MaxGirl, level 99 ends short", 4, 98, 7, 0, "", 98 * 8 + 7,
            "Girl levels 1 to 98 reached the file whole. Level 99 of the Girl is incomplete: its HP, MP, Strength, "
            "Agility, Constitution and Intelligence reached the file; the other fields kept their old values.");
        row("MaxAll, Girl level 2 fails", 6, 100, 0, 0, "", 100 * 8,
            "Hero levels 1 to 99 and Girl level 1 reached the file whole. The other levels were not written.");
        row("MaxAll, flush fails", 6, -1, 0, EROFS, "", 297 * 8,
            "The new levels are in the file, but the system could not confirm that they reached the disk.");
        row("MaxGirl, stopped", 4, -1, 0, 0, "40 stop", 40 * 8,
            "Girl levels 1 to 40 were written before the run was stopped; the other levels were not written.");
        row("MaxAll, closed", 6, -1, 0, 0, "150 close", 150 * 8,
            "Hero levels 1 to 99 and Girl levels 1 to 51 were written before the run was stopped; the other levels "
            "were not written.");
        row("MaxSprite, reopened", 5, -1, 0, 0, "99 reopen", 99 * 8,
            "Sprite levels 1 to 99 were written before the run was stopped; the other levels were not written.");
        row("MaxHero, renamed away", 3, -1, 0, 0, "99 rename", 99 * 8,
            "The new levels are in a file that is no longer at PATH; the file now there, if any, is unchanged.");
        row("MaxAll, size changed", 6, -1, 0, 0, "3 grow", 3 * 8,
            "Hero levels 1 to 3 reached the file whole. The other levels were not written.");
    }

    void writes() {
        QFETCH(int, operation);
        QFETCH(quint64, length);
        QFETCH(int, failingWrite);
        QFETCH(int, shortBy);
        QFETCH(int, flushError);
        QFETCH(QString, callback);
        QFETCH(int, written);
        QFETCH(QString, told);
        const Operation& op = Operations[operation];
        const std::string path = Sample("written.sfc", length);
        const int stopAt = callback.section(' ', 0, 0).toInt();
        const QString action = callback.section(' ', 1);
        // Nothing after the failing write, the stop, the close or the reopening; a failing write is
        // tried once more for its rest after a short one.
        QByteArrayList calls = length >= op.end ? CallsOf(op) : QByteArrayList();
        for (int i = 0, w = 0, p = 0; i < calls.size(); ++i) {
            const bool failed = calls[i][0] == 'w' && w++ == failingWrite;
            const bool stopped = calls[i][0] == 'p' && ++p == stopAt && action != "stop" && action != "rename";
            if (failed && shortBy > 0) {
                calls[i] = Call('w', op.begin + 8 * failingWrite, 8);
                calls.insert(i + 1, Call('w', op.begin + 8 * failingWrite + shortBy, 8 - shortBy));
                ++i;
            }
            if (calls[i][0] == 'p' && p == stopAt && action == "stop") {
                calls.erase(calls.begin() + i + 1, calls.end() - 1);
            }
            if (failed || stopped) calls.erase(calls.begin() + i + 1, calls.end());
        }
        RomFile file;
        QVERIFY(file.Open(path).ok());
        const bool clean = told.isEmpty();
        for (int run = 0; run < (clean ? 2 : 1); ++run) {
            recorder = Recorder{true, {}, 0, failingWrite, shortBy, flushError};
            int callbacks = 0;
            const auto progress = [&] {
                recorder.calls << Call('p');
                if (++callbacks != stopAt) return true;
                if (action == "close" || action == "reopen") file.Close();
                if (action == "reopen" && !file.Open(path).ok()) qFatal("cannot reopen the image");
                if (action == "rename") std::filesystem::rename(path, path + ".moved");
                if (action == "grow") std::ofstream(path, std::ios::binary | std::ios::app).put('\0');
                return action != "stop";
            };
            std::string message;
            if (op.run) {
                const WriteReport report = op.run(file, progress);
                const auto writes = MaximizeWrites(op.run == MaxAll ? std::nullopt : std::optional(op.character));
                message = report.ok() ? "" : report.error.message() + "|" + WhatReachedTheFile(file, writes, report);
            } else {
                message = WriteLevelRecord(file, op.character, 41, MaxedRecord).message();
            }
            recorder.on = false;
            const std::string error = action == "grow" ? path + " changed size since it was opened (" +
                                                             std::to_string(length) + " bytes then, " +
                                                             std::to_string(length + 1) + " now). Open it again."
                                    : action == "rename" ? path + " was moved, replaced or deleted while it was written."
                                    : failingWrite >= 0 ? "Cannot write \"" + path + "\": " + SystemReason(ENOSPC).toStdString() + "."
                                    : flushError ? "Cannot flush \"" + path + "\" to disk: " + SystemReason(flushError).toStdString() + "."
                                                 : "";
            QString expected = told.isEmpty() ? QString() : Text(error) + (op.run ? "|" : " ") + told;
            if (length < op.end) {
                expected = "Cannot write 8 byte(s) at offset 0x" + QString::number(op.end - 8, 16).toUpper() +
                           ": the file \"" + Text(path) + "\" is only " + QString::number(length) + " bytes long." +
                           (op.run ? "|" : " ") + told;
            }
            if (action == "stop" || action == "close" || action == "reopen") expected = "|" + told;
            QCOMPARE(Text(message), expected.replace("PATH", Text(path)));
            QCOMPARE(recorder.calls, calls);
            const std::string now = action == "rename" ? path + ".moved" : path;
            Bytes after = AfterWrites(op, std::uint64_t(written), length);
            if (action == "grow") after.push_back(0);
            QVERIFY(ReadWholeFile(now) == after);
        }
    }

    // A write that names what it replaces: refused whole when the file holds
    // other bytes there, as another program left them.
    void compareThenWrite_data() {
        QTest::addColumn<int>("poked");    // a byte of the second record another program sets, or -1
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("told");
        QTest::newRow("as expected") << -1 << 0 << QString();
        QTest::newRow("Strength changed") << 3 << 77 << QString("Level 2 of the Hero was changed by another program.");
        QTest::newRow("HP's high byte changed") << 1 << 5 << QString("Level 2 of the Hero was changed by another program.");
        QTest::newRow("the Hero's unused MP byte") << 2 << 0x55 << QString();
        QTest::newRow("the new value already there") << 3 << 40 << QString();
    }

    void compareThenWrite() {
        QFETCH(int, poked);
        QFETCH(int, value);
        QFETCH(QString, told);
        const std::string path = Sample("compared.sfc");
        RomFile file;
        QVERIFY(file.Open(path).ok());
        Bytes image = SampleImage();
        std::vector<RecordWrite> writes;
        for (int level : {0, 1}) {
            LevelRecordBytes was{};
            std::copy_n(image.begin() + std::ptrdiff_t(HeroBase + 8 * level), 8, was.begin());
            LevelRecordBytes now = was;
            now[2] = 0;
            now[3] = 40;
            writes.push_back({CharacterId::Hero, level, was, now});
        }
        writes[1].expected->at(2) = 0;  // as the editor reads the Hero: his MP byte unread
        if (poked >= 0) {
            image[HeroBase + 8 + std::size_t(poked)] = std::uint8_t(value);
            std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
                .seekp(std::streamoff(HeroBase + 8 + poked))
                .put(char(value));
        }
        const WriteReport report = WriteRecords(file, writes);
        QCOMPARE(Text(report.error.message()), told);
        if (told.isEmpty()) {
            for (int level : {0, 1}) Put(image, HeroBase + 8 * level, {writes[level].replacement.begin(), writes[level].replacement.end()});
        }
        QVERIFY(ReadWholeFile(path) == image);
    }

    // The sample image: a valid 2 MiB HiROM header and checksum, the same every
    // time, odd bytes in the Hero's MP slots as the game has them; and the
    // program that writes it.
    void sampleImage() {
        const Bytes& image = SampleImage();
        QVERIFY(image.size() == 2097152 && image == MakeSampleImage() && image[0xFFD5] == 0x31 &&
                image[0xFFD7] == 0x0B);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&image[0xFFC0]), 21), QByteArray("THORNWAKE            "));
        std::uint32_t sum = 0xFF + 0xFF, heroMpBytesSet = 0;  // the complement counted as FF FF, the checksum as 00 00
        for (std::size_t i = 0; i < image.size(); ++i) sum += i < 0xFFDC || i > 0xFFDF ? image[i] : 0;
        QVERIFY(unsigned(image[0xFFDE] | image[0xFFDF] << 8) == (sum & 0xFFFF) &&
                unsigned(image[0xFFDC] | image[0xFFDD] << 8) == (~sum & 0xFFFF));
        for (std::uint64_t at = HeroBase + 2; at < GirlBase; at += 8) heroMpBytesSet += image[at] != 0;
        QVERIFY(heroMpBytesSet > 0 && heroMpBytesSet < 99);
        // The program: the arguments; its exit status, the size of made.sfc after it, the first line of its
        // output and its messages.
        const QString made = dir_.filePath("made.sfc"), none = dir_.filePath("none/made.sfc");
        const QString usage = "\nRun with --help for more information.\n";
        const QList<QPair<QStringList, QString>> runs{
            {{made}, "1 0  Cannot write " + made + ": File exists; give --force to replace it\n"},
            {{"--force", made}, "0 2097152  "},
            {{"--help"}, "0 2097152 Writes a made-up 2 MiB ROM image with varied level tables, to try the Thornwake "
                         "editor on. "},
            {{}, "2 2097152  OUTPUT is required" + usage},
            {{"a", "b"}, "2 2097152  The following argument was not expected: b" + usage},
            {{none}, "1 2097152  Cannot write " + none + ": No such file or directory\n"}};
        QVERIFY(QFile(made).open(QFile::WriteOnly));
        QProcess maker;
        maker.setWorkingDirectory(dir_.path());
        for (const auto& [arguments, result] : runs) {
            maker.start(THORNWAKE_SAMPLE_IMAGE_PROGRAM, arguments);
            QVERIFY(maker.waitForFinished(30000));
            QCOMPARE(QString("%1 %2 %3 ").arg(maker.exitCode()).arg(QFileInfo(made).size())
                         .arg(maker.readAllStandardOutput().split('\n')[0]) + maker.readAllStandardError(), result);
        }
        QVERIFY(ReadWholeFile(made.toStdString()) == image && !QFile::exists(dir_.filePath("--help")));
    }
};

QTEST_GUILESS_MAIN(RomTest)
#include "tst_rom.moc"
