// The image file: the size check, opening and closing, positioned reads and
// writes, and the faults the operating system can report.

#include <QCoreApplication>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "level_tables.h"
#include "rom_file.h"
#include "rom_test_support.h"

using namespace thornwake;
using namespace thornwake::testing;

Q_DECLARE_METATYPE(thornwake::SizeCheck)

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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
        // The empty file is the one Open creates when there is none.
        const std::string path = scratch_.Path(length == 0 ? "new.sfc" : "sized.smc");
        if (length != 0) {
            std::ofstream(path).close();
            std::filesystem::resize_file(path, length);
        }
        RomFile file;
        const Status opened = file.Open(path);
        QVERIFY2(opened.ok(), opened.message().c_str());
        QVERIFY(file.IsOpen());
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
        // A running program cannot be opened for writing.
        QTest::newRow("running program") << QCoreApplication::applicationFilePath() << ETXTBSY;
    }

    void openFailsWithTheSystemsReason() {
        QFETCH(QString, path);
        QFETCH(int, error);
        const std::string name = path.toStdString();
        const bool readOnly = error == 0;
        if (readOnly && (error = SetReadOnly(name, true)) == 0) QSKIP("cannot make a file read-only here");
        const int probe = error == ETXTBSY ? ::open(name.c_str(), O_RDWR | O_CLOEXEC) : -1;
        if (probe >= 0) {
            ::close(probe);
            QSKIP("this system lets a running program be opened for writing");
        }
        RomFile file;
        const Status opened = file.Open(name);
        if (readOnly) SetReadOnly(name, false);
        QVERIFY(!opened.ok());
        QVERIFY(!file.IsOpen());
        QVERIFY2(Contains(opened.message(), name), opened.message().c_str());
        QVERIFY2(Contains(opened.message(), std::strerror(error)), opened.message().c_str());
        QVERIFY(!std::filesystem::exists(scratch_.Path("none")));

        const Status empty = file.Open("");
        QVERIFY(!empty.ok() && !empty.message().empty());
        QVERIFY(!file.IsOpen());
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

    void rangesPastTheEndAreRefused_data() {
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<int>("count");
        QTest::newRow("last byte and one more") << quint64{99} << 2;
        QTest::newRow("just past the end") << quint64{100} << 1;
        QTest::newRow("far past the end") << quint64{0x104210} << 2;
        QTest::newRow("offset near 2^64") << quint64{~0ULL - 1} << 2;
    }

    void rangesPastTheEndAreRefused() {
        QFETCH(quint64, offset);
        QFETCH(int, count);
        const std::string path = scratch_.Sample("short.sfc", 100);
        const Bytes before = ReadWholeFile(path);
        RomFile file;
        QVERIFY(file.Open(path).ok());
        const auto read = file.ReadAt(offset, static_cast<std::size_t>(count));
        const Status write = file.WriteAt(offset, Bytes(static_cast<std::size_t>(count), 0xEE));
        for (const std::string& message : {read.message(), write.message()}) {
            QVERIFY2(NamesOffset(message, offset) && Contains(message, "100"), message.c_str());
        }
        QVERIFY(!read.ok() && !write.ok());

        // Right up to the end is fine.
        QVERIFY(file.ReadAt(0, 100).ok());
        const auto lastTwo = file.ReadAt(98, 2);
        QVERIFY(lastTwo.ok());
        QCOMPARE(Hex(lastTwo.value()), Hex(Slice(before, 98, 2)));
        QVERIFY(file.WriteAt(98, lastTwo.value()).ok());
        file.Close();
        QVERIFY(ReadWholeFile(path) == before);
    }

    void writeRefusedByTheSystemIsReported() {
        if (!std::filesystem::exists("/dev/full")) QSKIP("no /dev/full here");
        RomFile file;
        QVERIFY(file.Open("/dev/full").ok());
        const Result<SizeCheck> check = file.LoadROMFileSize("/dev/full");
        QVERIFY(check.ok() && check.value() == SizeCheck::Accepted);  // a device reads as 0 bytes long

        const Status write = file.WriteAt(HeroBase, {0xE7, 0x03});
        const Status record = WriteLevelRecord(file, CharacterId::Hero, 0, LevelRecord{999, 0, 99, 99, 99, 99, 99});
        for (const Status& status : {write, record}) {
            QVERIFY(!status.ok());
            QVERIFY2(Contains(status.message(), std::strerror(ENOSPC)), status.message().c_str());
        }
        QVERIFY(file.IsOpen());
    }

    void fileTruncatedAfterOpening() {
        const std::string path = scratch_.Sample("truncated.sfc");
        RomFile file;
        QVERIFY(file.Open(path).ok());
        QVERIFY(ReadLevelRecord(file, CharacterId::Sprite, 98).ok());

        // Another program cuts the file short in the middle of the Hero's first record.
        const std::uint64_t cut = HeroBase + 4;
        std::filesystem::resize_file(path, cut);
        const Bytes before = ReadWholeFile(path);
        const auto hero = ReadLevelRecord(file, CharacterId::Hero, 0);
        QVERIFY(!hero.ok());
        QVERIFY2(Contains(hero.message(), std::to_string(cut)), hero.message().c_str());
        QVERIFY(!ReadLevelRecord(file, CharacterId::Sprite, 98).ok());
        QVERIFY(!file.ReadAt(cut, 1).ok());
        QVERIFY(file.ReadAt(cut - 1, 1).ok());

        QVERIFY(!file.WriteAt(cut, {0x00}).ok());
        QVERIFY(!WriteLevelRecord(file, CharacterId::Hero, 0, LevelRecord{}).ok());
        QVERIFY(!WriteLevelRecord(file, CharacterId::Sprite, 98, LevelRecord{}).ok());
        file.Close();
        QVERIFY(ReadWholeFile(path) == before);
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
};

QTEST_GUILESS_MAIN(RomFileTest)
#include "tst_rom_file.moc"
