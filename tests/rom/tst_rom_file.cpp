// The image file and its level records: the size check, opening and closing,
// positioned reads and writes, the faults the operating system can report,
// where each record lies, its byte and field order, the Hero's MP byte and
// signed HP.

#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "rom_test_support.h"

using namespace thornwake;
using namespace thornwake::testing;

Q_DECLARE_METATYPE(thornwake::SizeCheck)

namespace {

// The record as the game stores it: HP little-endian, then MP .. WIS.
Bytes Encode(const LevelRecord& r) {
    const auto hp = static_cast<std::uint16_t>(r.HP);
    return {static_cast<std::uint8_t>(hp & 0xFF), static_cast<std::uint8_t>(hp >> 8), r.MP, r.STR, r.AGI, r.CON, r.INTL, r.WIS};
}

// One byte before the end of the Hero's first record.
constexpr std::uint64_t Cut = HeroBase + 7;

// The offset may be given in decimal or in hexadecimal.
bool NamesOffset(const std::string& message, quint64 offset) {
    const QString text = QString::fromStdString(message);
    return text.contains(QString::number(offset)) ||
           text.contains("0x" + QString::number(offset, 16), Qt::CaseInsensitive);
}

// Makes a file refuse (or again allow) being opened for writing: read-only bits,
// or for the superuser, who ignores them, the immutable attribute. Returns the
// errno the system then reports, or 0 when that is impossible here.
int SetReadOnly(const std::string& path, bool readOnly) {
    if (::geteuid() != 0) return readOnly && ::chmod(path.c_str(), 0444) == 0 ? EACCES : 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = readOnly ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) ::close(fd);
    return done ? EPERM : 0;
}

}  // namespace

class RomFileTest : public QObject {
    Q_OBJECT
    Scratch scratch_;

private slots:
    void sizeCheckOnRealFiles_data() {
        QTest::addColumn<quint64>("length");
        QTest::addColumn<SizeCheck>("verdict");
        for (quint64 n : {0u, 2097152u, 2097663u, 2097665u, 3145728u, 3146240u})
            QTest::addRow("%llu", n) << n << SizeCheck::Accepted;
        for (quint64 n : {2097664u, 3146241u, 4194304u}) QTest::addRow("%llu", n) << n << SizeCheck::Refused;
    }

    void sizeCheckOnRealFiles() {
        QFETCH(quint64, length);
        QFETCH(SizeCheck, verdict);
        const std::string path = scratch_.Path("sized.smc");
        std::ofstream(path).close();
        std::filesystem::resize_file(path, length);
        RomFile file;
        const Status opened = file.Open(path);
        QVERIFY2(opened.ok(), opened.message().c_str());
        QCOMPARE(file.Path(), path);
        const Result<SizeCheck> check = file.LoadROMFileSize(path);
        QVERIFY2(check.ok(), check.message().c_str());
        QCOMPARE(check.value(), verdict);
        QCOMPARE(CheckROMSize(length), verdict);
        file.Close();
        QCOMPARE(std::filesystem::file_size(path), std::uintmax_t{length});
    }

    void openFailsWithTheSystemsReason_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("error");  // 0: made read-only by the test
        QTest::newRow("folder that does not exist") << QString::fromStdString(scratch_.Path("none/game.sfc")) << ENOENT;
        QTest::newRow("a folder") << QString::fromStdString(scratch_.Path("")) << EISDIR;
        QTest::newRow("read-only file") << QString::fromStdString(scratch_.Sample("readonly.sfc")) << 0;
    }

    void openFailsWithTheSystemsReason() {
        QFETCH(QString, path);
        QFETCH(int, error);
        const std::string name = path.toStdString();
        const bool readOnly = error == 0;
        if (readOnly && (error = SetReadOnly(name, true)) == 0) QSKIP("cannot make a file read-only here");
        RomFile file;
        const Status opened = file.Open(name);
        if (readOnly) SetReadOnly(name, false);
        QVERIFY(!opened.ok() && !file.IsOpen());
        QVERIFY2(Contains(opened.message(), name) && Contains(opened.message(), std::strerror(error)),
                 opened.message().c_str());
        QVERIFY(!std::filesystem::exists(scratch_.Path("none")));
        const Status empty = file.Open("");
        QVERIFY(!empty.ok() && !empty.message().empty() && !file.IsOpen());
    }

    void openWhileOpenCloseTwiceAndUseAfterClose() {
        const std::string path = scratch_.Sample("close.sfc");
        const Bytes before = ReadWholeFile(path);
        RomFile file;
        file.Close();  // never opened
        QVERIFY(!file.IsOpen());
        QVERIFY(file.Open(path).ok());
        const std::uint64_t generation = file.Generation();
        QVERIFY(!file.Open(scratch_.Path("second.sfc")).ok());  // keeps the first file
        QCOMPARE(file.Path(), path);
        QCOMPARE(file.Generation(), generation);
        QVERIFY(file.ReadAt(0xFFC0, 9).ok());
        file.Close();
        file.Close();
        QVERIFY(!file.IsOpen());

        const auto read = file.ReadAt(0, 1);
        QVERIFY(!read.ok() && !read.message().empty());
        const Status write = file.WriteAt(0, {0xAA});
        QVERIFY(!write.ok() && !write.message().empty());
        QVERIFY(!ReadLevelRecord(file, CharacterId::Girl, 0).ok());
        QVERIFY(!WriteLevelRecord(file, CharacterId::Girl, 0, LevelRecord{}).ok());
        QVERIFY(ReadWholeFile(path) == before);

        // It opens again after closing, and counts the new opening.
        QVERIFY(file.Open(path).ok());
        QVERIFY(file.Generation() != generation);
    }

    void rangesPastTheEndOfAFileCutShort_data() {
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<int>("count");
        QTest::newRow("last byte and one more") << quint64{Cut - 1} << 2;
        QTest::newRow("just past the end") << quint64{Cut} << 1;
        QTest::newRow("far past the end") << quint64{SpriteBase} << 2;
        QTest::newRow("offset near 2^64") << quint64{~0ULL - 1} << 2;
    }

    // Another program cuts the file short after it was opened.
    void rangesPastTheEndOfAFileCutShort() {
        QFETCH(quint64, offset);
        QFETCH(int, count);
        const std::string path = scratch_.Sample("cut.sfc");
        RomFile file;
        QVERIFY(file.Open(path).ok());
        QVERIFY(ReadLevelRecord(file, CharacterId::Hero, 0).ok());
        std::filesystem::resize_file(path, Cut);
        const Bytes before = ReadWholeFile(path);

        const auto read = file.ReadAt(offset, static_cast<std::size_t>(count));
        const Status write = file.WriteAt(offset, Bytes(static_cast<std::size_t>(count), 0xEE));
        const auto record = ReadLevelRecord(file, CharacterId::Hero, 0);
        const Status recordWrite = WriteLevelRecord(file, CharacterId::Hero, 0, LevelRecord{1, 2, 3, 4, 5, 6, 7});
        QVERIFY(!read.ok() && !write.ok() && !record.ok() && !recordWrite.ok());
        for (const std::string& message : {read.message(), write.message(), record.message(), recordWrite.message()}) {
            QVERIFY2(Contains(message, std::to_string(Cut)), message.c_str());  // the file's size
        }
        QVERIFY2(NamesOffset(read.message(), offset) && NamesOffset(write.message(), offset), read.message().c_str());

        // Right up to the end is fine.
        const auto tail = file.ReadAt(Cut - 2, 2);
        QVERIFY(tail.ok());
        QCOMPARE(Hex(tail.value()), Hex(Slice(before, Cut - 2, 2)));
        QVERIFY(file.WriteAt(Cut - 2, tail.value()).ok());
        file.Close();
        QVERIFY2(ReadWholeFile(path) == before, "a refused write changed bytes before the end");
    }

    void onlyRegularFilesOpen() {
        for (const char* device : {"/dev/full", "/dev/zero", "/dev/null"}) {
            RomFile file;
            const Status opened = file.Open(device);
            QCOMPARE(QString::fromStdString(opened.message()), QString(device) + " is not a regular file.");
            QVERIFY(!file.IsOpen());
        }
    }

    void savedRecordSurvivesKillNine() {
        const std::string path = scratch_.Sample("killed.sfc");
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            RomFile file;
            if (!file.Open(path).ok()) ::_exit(2);
            if (!WriteLevelRecord(file, CharacterId::Girl, 57, LevelRecord{-1234, 0xAB, 1, 2, 3, 4, 5}).ok()) ::_exit(3);
            ::raise(SIGKILL);
            ::_exit(4);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL,
                 qPrintable(QString("child exited with %1").arg(WEXITSTATUS(status))));
        QCOMPARE(Hex(Slice(ReadWholeFile(path), GirlBase + 8 * 57, 8)), Hex({0x2E, 0xFB, 0xAB, 1, 2, 3, 4, 5}));
    }

    void everyRecordReadsTheBytesAtItsOffset() {
        // Signed HP in the first Sprite records: FF FF, 00 80, 40 9C, FF 7F.
        const int signedHp[][3] = {{0xFF, 0xFF, -1}, {0x00, 0x80, -32768}, {0x40, 0x9C, -25536}, {0xFF, 0x7F, 32767}};
        Bytes image = SampleImage();
        image[HeroBase + 2] = 0x5A;  // the Hero's MP byte is never read
        for (int i = 0; i < 4; ++i) {
            image[SpriteBase + 8 * i] = static_cast<std::uint8_t>(signedHp[i][0]);
            image[SpriteBase + 8 * i + 1] = static_cast<std::uint8_t>(signedHp[i][1]);
        }
        RomFile file;
        QVERIFY(file.Open(scratch_.Write("records.sfc", image)).ok());
        for (const Table& t : Tables) {
            QCOMPARE(QByteArray(CharacterName(t.character)), QByteArray(t.name));
            for (int level = 0; level < LevelCount; ++level) {
                const std::uint64_t offset = t.base + 8 * static_cast<std::uint64_t>(level);
                QCOMPARE(RecordOffset(t.character, level), offset);
                Bytes stored = Slice(image, offset, 8);
                if (t.character == CharacterId::Hero) stored[2] = 0;
                const auto read = ReadLevelRecord(file, t.character, level);
                QVERIFY2(read.ok(), read.message().c_str());
                QVERIFY2(Encode(read.value()) == stored, QByteArray(t.name) + " level index " + QByteArray::number(level) +
                                                             ": read as " + Hex(Encode(read.value())) + ", stored " + Hex(stored));
            }
        }
        for (int i = 0; i < 4; ++i) QCOMPARE(int{ReadLevelRecord(file, CharacterId::Sprite, i).value().HP}, signedHp[i][2]);
    }

    void writeChangesOnlyItsEightBytes_data() {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("level");
        for (int t = 0; t < 3; ++t) {
            for (int level : {0, 41, 98}) QTest::addRow("%s %d", Tables[t].name, level) << t << level;
        }
    }

    void writeChangesOnlyItsEightBytes() {
        QFETCH(int, table);
        QFETCH(int, level);
        const Table& t = Tables[table];
        Bytes expected = SampleImage();
        expected[t.base + 8 * level + 2] = 0x5A;  // a stray byte, which a Hero record clears
        const std::string path = scratch_.Write("write.sfc", expected);
        RomFile file;
        QVERIFY(file.Open(path).ok());
        // Every field distinct, the HP's two bytes too, so a swapped pair shows.
        for (const LevelRecord& record : {LevelRecord{0x1234, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6},
                                          LevelRecord{-2, 255, 0, 255, 0, 255, 1}}) {
            const Status written = WriteLevelRecord(file, t.character, level, record);
            QVERIFY2(written.ok(), written.message().c_str());
            LevelRecord stored = record;
            if (t.character == CharacterId::Hero) stored.MP = 0;
            const Bytes bytes = Encode(stored);
            std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(t.base + 8 * level));
            QVERIFY(ReadWholeFile(path) == expected);  // seen by another reader while still open
            QVERIFY(ReadLevelRecord(file, t.character, level).value() == stored);
        }
    }
};

QTEST_GUILESS_MAIN(RomFileTest)
#include "tst_rom_file.moc"
