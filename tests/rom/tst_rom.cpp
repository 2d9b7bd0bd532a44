// The ROM image logic on real files: the size check, what opens and how, reads
// and writes kept inside the file, the identity check and the writer's lock,
// the level records' bytes, stat values as text, record writes and maximize
// runs, and the sample image. Files are looked at with plain streams, never
// through the code under test, and the table positions are written out here.
//
// The program puts itself in front of the system's positioned reads and writes
// and its flush (system_calls.h): it counts the calls and fails the one a test
// names, so the tests see what a failing disk leaves.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>

#include "level_edits.h"
#include "level_tables.h"
#include "maximize.h"
#include "rom_file.h"
#include "os_file.h"
#include "sample_image.h"
#include "system_calls.h"

using namespace thornwake;
using namespace std::chrono_literals;
using Bytes = std::vector<quint8>;
namespace fs = std::filesystem;

namespace {

constexpr quint64 HeroBase = 0x104210;
constexpr quint64 GirlBase = 0x104528;
constexpr quint64 SpriteBase = 0x104840;
constexpr quint64 TablesEnd = 0x104B58;

// A record written (level 42), or a maximize run; the bytes it writes.
struct Operation {
    const char* name;
    std::optional<CharacterId> character;  // none for every character
    WriteReport (*run)(RomFile&, const ProgressCallback&);
    quint64 begin;
    quint64 end;
};
const Operation Operations[] = {
    {"Girl record", CharacterId::Girl, nullptr, GirlBase + 328, GirlBase + 336},
    {"MaxHero", CharacterId::Hero, MaxHero, HeroBase, GirlBase},
    {"MaxGirl", CharacterId::Girl, MaxGirl, GirlBase, SpriteBase},
    {"MaxSprite", CharacterId::Sprite, MaxSprite, SpriteBase, TablesEnd},
    {"MaxAll", std::nullopt, MaxAll, HeroBase, TablesEnd},
};

const Bytes Sample = MakeSampleImage();
const QTemporaryDir dir;

// A message as the user reads it, the test's folder named DIR.
template <typename Outcome>
QString Said(const Outcome& outcome) {
    return QString::fromStdString(outcome.message()).replace(dir.path(), "DIR");
}

// Writes the first `length` bytes of `image` to the file `name` in the test's folder.
std::string Save(const char* name, quint64 length = SampleImageSize, const Bytes& image = Sample) {
    const auto path = dir.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary) << std::string(image.begin(), image.begin() + length);
    return path;
}

Bytes Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// The disk as a test sets it: "w 41" its 42nd write from then fails (ENOSPC);
// "w 98 7" that write takes only its first 7 bytes and the next one fails; "s
// EIO" a flush fails with EIO (or ENOSPC); "1" every read and write moves one
// byte. `calls` counts the writes by size ("w8") and the flushes ("sync").
struct Disk {
    QStringList fault;
    int writes = 0;
    std::map<QString, int> calls;
} disk;

}  // namespace

bool InterceptCall(char kind, std::size_t& count) {
    const QStringList& fault = disk.fault;
    if (fault.value(0) == "1") count = 1;
    if (kind == 'r') return false;
    ++disk.calls[kind == 's' ? "sync" : "w" + QString::number(count)];
    if (fault.value(0) != QChar(kind)) return false;
    // 0 at the call that fails, -1 at the write before it that ends short
    const int index = kind == 's' ? 0 : disk.writes++ - fault[1].toInt() - (fault.size() > 2);
    if (index == -1 && fault.size() > 2) count = fault[2].toUInt();
    if (index == 0) errno = fault[1] == "EIO" ? EIO : ENOSPC;
    return index == 0;
}

class RomTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (const QString why = WhyNotHere(); !why.isEmpty()) QSKIP(qPrintable(why));
    }

    void sizeCheck() {
        for (quint64 n : {0u, 2097152u, 2097663u, 2097664u, 2097665u, 3146240u, 3146241u}) {
            QCOMPARE(CheckROMSize(n) == SizeCheck::Refused, n == 2097664u || n == 3146241u);
        }
    }

    // Only an existing regular file opens, links followed, and nothing is
    // created. Opened for reading only, it reads; its writes and flush are refused.
    void open_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("refusal");
        const QString link = dir.filePath("link.sfc");
        const QString fifo = dir.filePath("fifo");
#ifndef _WIN32
        QVERIFY(::mkfifo(fifo.toLocal8Bit(), 0600) == 0);
        QVERIFY(::symlink(Save("sample.sfc").c_str(), link.toLocal8Bit()) == 0);
#endif
        const char* linuxOnly = " (Linux only: no FIFO, device or link to open under Wine)";
        for (bool readOnly : {false, true}) {
            const std::tuple<const char*, QString, QString, const char*> rows[] = {
                {"missing", dir.filePath("none.sfc"), "Cannot open \"DIR/none.sfc\": " + SystemReason(ENOENT) + ".",
                 ""},
                {"folder", dir.path(), "DIR is not a regular file.", ""},
                {"unwritable", "unwritable",
                 readOnly ? ""
                          : "Cannot open \"DIR/unwritable.sfc\": " + SystemReason(::geteuid() ? EACCES : EPERM) + ".",
                 readOnly ? "" : " (Linux only: Wine lets root write a read-only file)"},
                {"link to a file", link, "", linuxOnly},
                {"FIFO", fifo, "DIR/fifo is not a regular file.", linuxOnly},
                {"/dev/zero", "/dev/zero", "/dev/zero is not a regular file.", linuxOnly}};
            for (const auto& [name, path, refusal, where] : rows) {
                QTest::addRow("%s, %s%s", name, readOnly ? "read only" : "read and write", where)
                    << path << readOnly << refusal;
            }
        }
    }

    void open() {
        QFETCH(QString, path);
        QFETCH(bool, readOnly);
        QFETCH(QString, refusal);
        if (path == "unwritable") {
            path = QString::fromStdString(Save("unwritable.sfc"));
            // Read-only bits, or for the superuser, who ignores them, the immutable attribute.
            if (::chmod(path.toLocal8Bit(), 0444) || (!::geteuid() && QProcess::execute("chattr", {"+i", path}))) {
                QSKIP("no read-only file");
            }
        }
        const auto name = path.toStdString();
        RomFile file;  // on a FIFO, an open that hangs would end in the test's time limit
        const Status opened = file.Open(name, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
        if (path.endsWith("unwritable.sfc") && !::geteuid()) QProcess::execute("chattr", {"-i", path});
        QCOMPARE(Said(opened), refusal);
        QCOMPARE(file.IsOpen(), refusal.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("none.sfc")));
        if (!readOnly || !file.IsOpen()) return;
        QVERIFY(file.ReadAt(0, SampleImageSize).value() == Sample);
        const auto said =
            WriteLevelRecord(file, CharacterId::Girl, 3, MaxedRecord).message() + "|" + file.Flush().message();
        const QString refused = "Cannot write \"" + path + "\": it was opened for reading only.";
        QCOMPARE(QString::fromStdString(said), refused + " Nothing was written.|" + refused);
        QVERIFY(Read(name) == Sample);
    }

    // An image that ends one byte into the Hero's first record: a range past
    // its end, near 2^64 too, is refused with the file's size. Cut shorter by
    // another program, it is refused whole: its offsets may mean other bytes now.
    void rangesPastTheEnd() {
        RomFile file;
        QVERIFY(file.Open(Save("cut.sfc", HeroBase + 7)));
        QString said;
        for (quint64 offset : {HeroBase + 6, HeroBase + 7, ~quint64{0} - 1}) {
            said += Said(file.ReadAt(offset, 2)) + "\n" + Said(file.WriteAt(offset, {1, 2})) + "\n";
        }
        fs::resize_file(file.Path(), HeroBase);
        said += Said(file.ReadAt(0, 1)) + "\n" + Said(file.WriteAt(0, {1}));
        QCOMPARE(said,
                 "Cannot read 2 byte(s) at offset 0x104216: the file \"DIR/cut.sfc\" is only 1065495 bytes long.\n"
                 "Cannot write 2 byte(s) at offset 0x104216: the file \"DIR/cut.sfc\" is only 1065495 bytes long.\n"
                 "Cannot read 2 byte(s) at offset 0x104217: the file \"DIR/cut.sfc\" is only 1065495 bytes long.\n"
                 "Cannot write 2 byte(s) at offset 0x104217: the file \"DIR/cut.sfc\" is only 1065495 bytes long.\n"
                 "Cannot read 2 byte(s) at offset 0xFFFFFFFFFFFFFFFE: the file \"DIR/cut.sfc\" is only 1065495 bytes "
                 "long.\n"
                 "Cannot write 2 byte(s) at offset 0xFFFFFFFFFFFFFFFE: the file \"DIR/cut.sfc\" is only 1065495 bytes "
                 "long.\n"
                 "DIR/cut.sfc changed size since it was opened (1065495 bytes then, 1065488 now). Open it again.\n"
                 "DIR/cut.sfc changed size since it was opened (1065495 bytes then, 1065488 now). Open it again.");
        QCOMPARE(fs::file_size(file.Path()), HeroBase);
    }

    // The identity check, the writer's lock and a lock taken inside it (counted,
    // not taken again), against a file another program changed or locked:
    // what each tells, how often the lock said it waits, and whether the lock
    // holds until the end of its scope.
    void writerLock_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("told");
        const auto row = [](const char* change, const QString& check, const QString& lock) {
            QTest::newRow(change) << QString(change)
                                  << check + "|" + lock + "|" + lock + "|" +
                                         (QByteArray(change).startsWith("locked") ? "1" : "0");
        };
        const QString moved = "DIR/locked.sfc was moved, replaced or deleted since it was opened. Open it again.";
        row("none", "", "");
        row("renamed away", moved, moved);
        row("replaced", moved, moved);
        row("locked by another", "", "DIR/locked.sfc is being changed by another program.");
        row("grown", "",
            "DIR/locked.sfc changed size since it was opened (2097152 bytes then, 2097153 now). Open it again.");
    }

    void writerLock() {
        QFETCH(QString, change);
        QFETCH(QString, told);
        const auto path = Save("locked.sfc");
        const auto other = Save("other.sfc");
        RomFile file;
        QVERIFY(file.Open(path));
        QCOMPARE(Said(file.Open(other)), "Another ROM image is still open.");
        const auto theirs = os::OpenExisting(path, os::Access::ReadOnly).value();
        if (change == "renamed away" || change == "replaced") fs::rename(path, path + ".moved");
        if (change == "replaced") fs::rename(other, path);  // the first file kept elsewhere
        if (change == "locked by another") QVERIFY(os::TryLock(theirs).value());
        if (change == "grown") std::ofstream(path, std::ios::app).put('\0');
        int waits = 0;
        QString said = Said(file.CheckStillAtPath()) + "|";
        {
            WriterLock lock(file);
            said += Said(lock.Acquire(50ms, [&] { ++waits; })) + "|";
            {
                WriterLock inner(file);
                said += Said(inner.Acquire(0ms)) + "|";
            }
            QCOMPARE(said + QString::number(waits), told);
            os::Unlock(theirs);
            QCOMPARE(os::TryLock(theirs).value(), change != "none");
            os::Unlock(theirs);
        }
        QVERIFY(os::TryLock(theirs).value());
        os::Close(theirs);
    }

    // Every record reads the bytes at its place, the Hero's without his MP
    // byte, also from a disk that moves one byte a call; a write changes its
    // eight bytes, the Hero's MP byte to 0.
    void records() {
        Bytes image = Sample;
        image[GirlBase + 329] = 0x80;  // a negative HP
        RomFile file;
        QVERIFY(file.Open(Save("records.sfc", SampleImageSize, image)));
        disk = {{"1"}, 0, {}};
        for (const Operation& op : {Operations[1], Operations[2], Operations[3]}) {
            const quint64 base = op.begin;
            for (int level = 0; level < 99; ++level) {
                const quint8* b = &image[base + 8 * level];
                const LevelRecord stored{
                    qint16(b[0] | b[1] << 8), quint8(base == HeroBase ? 0 : b[2]), b[3], b[4], b[5], b[6], b[7]};
                QVERIFY(ReadLevelRecord(file, *op.character, level).value() == stored);
            }
            QVERIFY(WriteLevelRecord(file, *op.character, 98, {0x1234, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}));
            std::copy_n(Bytes{0x34, 0x12, quint8(base == HeroBase ? 0 : 0xA1), 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}.begin(), 8,
                        &image[base + 784]);
        }
        disk = {};
        QVERIFY(Read(file.Path()) == image);
    }

    void formatAndParseEveryValue() {
        for (int v = -32768; v <= 32767; ++v) {
            const auto text = std::to_string(v);
            QVERIFY2(FormatHP(v) == text && ParseHP(text) == v &&
                         (v >= 0 && v <= 255 ? FormatStat(v) == text && ParseStat(text) == v : !ParseStat(text)),
                     text.c_str());
        }
    }

    // Text, then what ParseHP and ParseStat make of it ("x": a failure). The
    // long fractions fail any parser that goes through a double.
    void parse_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("values");
        const QByteArray rows[] = {"|x x",
                                   " \t7\t |7 7",
                                   "32768|x x",
                                   "-32769|x x",
                                   "2.5|2 2",
                                   "3.5|4 4",
                                   "-3.5|-4 x",
                                   "+12|12 12",
                                   "255.5|256 x",
                                   "32767.5|x x",
                                   "-32768.5|-32768 x",
                                   "-0.4|0 0",
                                   ".5|0 0",
                                   "7.|7 7",
                                   "2.5000000000000000001|3 3",
                                   "255.49999999999999999|255 255",
                                   QByteArray(400, '0') + "42|42 42",
                                   "1" + QByteArray(400, '0') + "|x x",
                                   "7." + QByteArray(5000, '4') + "|7 7",
                                   "1e2|x x",
                                   "0x10|x x",
                                   "1,000|x x",
                                   "2,5|x x",
                                   "1 000|x x",
                                   ".|x x",
                                   "1.2.3|x x",
                                   "inf|x x",
                                   "nan|x x",
                                   QByteArray("7\0"
                                              "1|x x",
                                              7),
                                   "\xEF\xBC\x97|x x",
                                   "\xC2\xA0"
                                   "7|x x",
                                   "18446744073709551617|x x",
                                   "4294967297|x x",
                                   "65537|x x"};
        for (const QByteArray& row : rows) {
            const qsizetype bar = row.lastIndexOf('|');
            QTest::newRow(row.left(24).constData()) << row.left(bar) << QString(row.mid(bar + 1));
        }
    }

    void parse() {
        QFETCH(QByteArray, text);
        QFETCH(QString, values);
        const auto view = text.toStdString();
        const auto show = [](auto value) { return value ? QString::number(*value) : QString("x"); };
        QCOMPARE(show(ParseHP(view)) + " " + show(ParseStat(view)), values);
    }

    // A record write or a maximize run: what it tells, the calls it makes and
    // the bytes it leaves, run to the end, on an image too short (nothing
    // written), when the disk refuses a write, takes only part of one or
    // refuses the flush, and when the progress callback stops the run, closes
    // or reopens the file, or another program moves it or changes its size.
    void writes_data() {
        QTest::addColumn<int>("operation");
        // Of the disk, or "p 40 stop": what the callback does after record 40, or "cut": the image ends one byte short.
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("written");   // bytes of the operation's records that reach the file
        QTest::addColumn<QString>("told");  // and the calls
        for (int op = 0; op < 5; ++op) {
            const Operation& o = Operations[op];
            QTest::newRow(o.name) << op << QString() << int(o.end - o.begin)
                                  << QString("/ sync:1 w8:%1").arg((o.end - o.begin) / 8);
        }
        const auto row = [](const char* name, int op, const char* fault, int written, const QString& told) {
            QTest::newRow(name) << op << QString(fault) << written << told;
        };
        const QString full = "Cannot write \"DIR/written.sfc\": " + SystemReason(ENOSPC) + ". ";
        const QString flush = "Cannot flush \"DIR/written.sfc\" to disk: ";
        row("MaxAll, image one byte short", 4, "cut", 0,
            "Cannot write 8 byte(s) at offset 0x104B50: the file \"DIR/written.sfc\" is only 1067863 bytes long. "
            "Nothing was written. /");
        row("MaxHero, level 42 gets one byte", 1, "w 41 1", 41 * 8 + 1,
            full +
                "Hero levels 1 to 41 reached the file whole. Level 42 of the Hero is incomplete: its HP only in "
                "part; the other fields kept their old values. The other levels were not written. / w7:1 w8:42");
        row("Girl record, three bytes reach the file", 0, "w 0 3", 3,
            full +
                "Level 42 of the Girl is incomplete: its HP and MP reached the file; the other fields kept their "
                "old values. / w5:1 w8:1");
        row("Girl record, flush fails", 0, "s EIO", 8,
            flush + SystemReason(EIO) +
                ". The new values are in the file, but the system could not confirm that they reached the disk. / "
                "sync:1 w8:1");
        row("MaxHero, first write fails", 1, "w 0", 0, full + "Nothing was written. / w8:1");
        row("MaxSprite, level 2 fails", 3, "w 1", 8,
            full + "Sprite level 1 reached the file whole. The other levels were not written. / w8:2");
        row("MaxGirl, level 99 ends short", 2, "w 98 7", 98 * 8 + 7,
            full +
                "Girl levels 1 to 98 reached the file whole. Level 99 of the Girl is incomplete: its HP, MP, "
                "Strength, Agility, Constitution and Intelligence reached the file; the other fields kept their "
                "old values. / w1:1 w8:99");
        row("MaxAll, Girl level 2 fails", 4, "w 100", 100 * 8,
            full +
                "Hero levels 1 to 99 and Girl level 1 reached the file whole. The other levels were not written. "
                "/ w8:101");
        row("MaxAll, flush fails", 4, "s ENOSPC", 297 * 8,
            flush + SystemReason(ENOSPC) +
                ". The new levels are in the file, but the system could not confirm that they reached the disk. / "
                "sync:1 w8:297");
        row("MaxGirl, stopped", 2, "p 40 stop", 40 * 8,
            "Girl levels 1 to 40 were written before the run was stopped; the other levels were not written. / "
            "sync:1 w8:40");
        row("MaxAll, closed", 4, "p 150 close", 150 * 8,
            "Hero levels 1 to 99 and Girl levels 1 to 51 were written before the run was stopped; the other levels "
            "were not written. / w8:150");
        row("MaxSprite, reopened", 3, "p 99 reopen", 99 * 8,
            "Sprite levels 1 to 99 were written before the run was stopped; the other levels were not written. / "
            "w8:99");
        row("MaxHero, renamed away", 1, "p 99 rename", 99 * 8,
            "DIR/written.sfc was moved, replaced or deleted while it was written. "
            "The new levels are in a file that is no longer at DIR/written.sfc; the file now there, if any, "
            "is unchanged. / sync:1 w8:99");
        row("MaxAll, size changed", 4, "p 3 grow", 3 * 8,
            "DIR/written.sfc changed size since it was opened (1067864 bytes then, 1067865 now). Open it again. Hero "
            "levels 1 to 3 reached the file whole. The other levels were not written. / w8:3");
    }

    void writes() {
        QFETCH(int, operation);
        QFETCH(QString, fault);
        QFETCH(int, written);
        QFETCH(QString, told);
        const Operation& op = Operations[operation];
        const quint64 length = op.end - (fault == "cut");
        const auto path = Save("written.sfc", length);
        RomFile file;
        QVERIFY(file.Open(path));
        const QStringList step = fault.split(' ');
        const QString act = step.value(2);  // of the progress callback
        disk = {step, 0, {}};
        int records = 0;
        const auto progress = [&] {
            if (step[0] != "p" || ++records != step[1].toInt()) return true;
            if (act == "close" || act == "reopen") file.Close();
            if (act == "reopen" && !file.Open(path)) return true;
            if (act == "rename") fs::rename(path, path + ".moved");
            if (act == "grow") std::ofstream(path, std::ios::app).put('\0');
            return act != "stop";
        };
        Status said = Status::Ok();
        if (op.run) {
            const WriteReport report = op.run(file, progress);
            const auto reached = WhatReachedTheFile(file, MaximizeWrites(op.character), report);
            if (!report.ok()) said = Status::Fail(report.error.message() + " " + reached);
        } else {
            said = WriteLevelRecord(file, *op.character, 41, MaxedRecord);
        }
        QString calls = Said(said) + " /";
        for (const auto& [call, count] : disk.calls) calls += " " + call + ":" + QString::number(count);
        QCOMPARE(calls.trimmed(), told);
        // The sample's first `length` bytes after the first `written` bytes of the operation's records reached
        // them: HP 999, every other field 99, the Hero's MP 0.
        Bytes after(Sample.begin(), Sample.begin() + length);
        for (quint64 at = op.begin; at < op.begin + written; ++at) {
            after[at] = at % 8 == 0 ? 0xE7 : at % 8 == 1 ? 3 : at % 8 == 2 && at < GirlBase ? 0 : 99;
        }
        if (act == "grow") after.push_back(0);
        QVERIFY(Read(act == "rename" ? path + ".moved" : path) == after);
    }

    // A write that names what it replaces: refused whole when the file holds
    // other bytes there, as another program left them.
    void compareThenWrite_data() {
        QTest::addColumn<int>("poked");  // a byte of the Hero's level 2 another program set
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("told");
        const QString changed = "Level 2 of the Hero was changed by another program.";
        QTest::newRow("Strength changed") << 3 << 77 << changed;
        QTest::newRow("HP's high byte changed") << 1 << 5 << changed;
        QTest::newRow("the Hero's unused MP byte") << 2 << 0x55 << QString();
        QTest::newRow("the new value already there") << 3 << 40 << QString();
    }

    void compareThenWrite() {
        QFETCH(int, poked);
        QFETCH(int, value);
        QFETCH(QString, told);
        const auto path = Save("compared.sfc");
        RomFile file;
        QVERIFY(file.Open(path));
        const auto writes =
            PrepareChange(file, CharacterId::Hero, {{0, StatField::STR, 40}, {1, StatField::STR, 40}}).value();
        Bytes image = Sample;
        image[HeroBase + 8 + poked] = quint8(value);
        Save("compared.sfc", SampleImageSize, image);
        QCOMPARE(Said(WriteRecords(file, writes).error), told);
        for (const RecordWrite& write : writes) {
            if (told.isEmpty()) std::copy_n(write.replacement.begin(), 8, &image[HeroBase + 8 * write.levelIndex]);
        }
        QVERIFY(Read(file.Path()) == image);
    }

    // The sample image: a valid 2 MiB HiROM header and checksum, the same every
    // time, odd bytes in the Hero's MP slots as the game has them; and the
    // program that writes it.
    void sampleImage() {
        // The checksum and its complement add up to FF FF whatever their value.
        const unsigned sum = std::accumulate(Sample.begin(), Sample.end(), 0u);
        QVERIFY(Sample.size() == 2097152 && Sample == MakeSampleImage() &&
                std::string(&Sample[0xFFC0], &Sample[0xFFD8]) == "THORNWAKE            1\x02\x0B");
        QCOMPARE(unsigned(Sample[0xFFDE] | Sample[0xFFDF] << 8), sum & 0xFFFF);
        QCOMPARE(unsigned(Sample[0xFFDC] | Sample[0xFFDD] << 8), ~sum & 0xFFFF);
        QVERIFY(Sample[HeroBase + 2] == 0 && Sample[HeroBase + 8 * 3 + 2] != 0);  // the Hero's MP bytes at levels 1, 4
        // The program, run with each list of arguments: its exit status, the size of made.sfc after it and its output.
        const auto made = Save("made.sfc", 0);
        QString said;
        QProcess maker;
        maker.setWorkingDirectory(dir.path());
        for (const QStringList& arguments : {QStringList{"made.sfc"}, {"--force", "made.sfc"}, {}}) {
            maker.start(THORNWAKE_SAMPLE_IMAGE_PROGRAM, arguments);
            QVERIFY(maker.waitForFinished(30000));
            said += QString("%1 %2 ").arg(maker.exitCode()).arg(fs::file_size(made)) + maker.readAllStandardOutput() +
                    maker.readAllStandardError();
        }
        QCOMPARE(said,
                 "1 0 Cannot write made.sfc: File exists; give --force to replace it\n"
                 "0 2097152 "
                 "2 2097152 OUTPUT is required\nRun with --help for more information.\n");
        QVERIFY(Read(made) == Sample);
    }
};

QTEST_GUILESS_MAIN(RomTest)
#include "tst_rom.moc"
