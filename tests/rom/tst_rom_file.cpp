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
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "level_tables.h"
#include "rom_file.h"
#include "rom_test_support.h"

using namespace thornwake;
using namespace thornwake::testing;

Q_DECLARE_METATYPE(thornwake::SizeCheck)

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The offset may be given in decimal or in hexadecimal.
bool NamesOffset(const std::string& message, std::uint64_t offset) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(offset));
    std::string lower = hex;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Contains(message, std::to_string(offset)) || Contains(message, "0x" + std::string(hex)) ||
           Contains(message, "0x" + lower);
}

// Makes a file refuse to be opened for writing: the immutable attribute when
// running as root (root ignores permission bits), read-only bits otherwise.
// Returns the errno the system is expected to report, or 0 when impossible.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path) : path_(path) {
        if (::geteuid() != 0) {
            if (::chmod(path.c_str(), 0444) == 0) expected_ = EACCES;
            return;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0) expected_ = EPERM;
        }
        if (fd >= 0) ::close(fd);
    }
    ~ReadOnlyFile() {
        if (expected_ != EPERM) return;
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0) ::close(fd);
    }
    int expectedErrno() const { return expected_; }

private:
    std::string path_;
    int expected_ = 0;
};

}  // namespace

class RomFileTest : public QObject {
    Q_OBJECT

private slots:
    void sizeCheckOnRealFiles_data();
    void sizeCheckOnRealFiles();
    void openCreatesAnEmptyFileThatIsAccepted();
    void openFailsWithTheSystemsReason_data();
    void openFailsWithTheSystemsReason();
    void openFailsOnAReadOnlyFile();
    void openWhileOpenKeepsTheFirstFile();
    void closeTwiceAndUseAfterClose();
    void writeReachesTheSystemAndTouchesOnlyItsBytes();
    void rangesPastTheEndAreRefused_data();
    void rangesPastTheEndAreRefused();
    void writeRefusedByTheSystemIsReported();
    void fileTruncatedAfterOpening();
    void savedRecordSurvivesKillNine();

private:
    Scratch scratch_;
};

void RomFileTest::sizeCheckOnRealFiles_data() {
    QTest::addColumn<quint64>("length");
    QTest::addColumn<SizeCheck>("verdict");
    QTest::newRow("empty") << quint64{0} << SizeCheck::Accepted;
    QTest::newRow("2 MiB image") << quint64{2097152} << SizeCheck::Accepted;
    QTest::newRow("one below headered") << quint64{2097663} << SizeCheck::Accepted;
    QTest::newRow("2 MiB with copier header") << quint64{2097664} << SizeCheck::Refused;
    QTest::newRow("one above headered") << quint64{2097665} << SizeCheck::Accepted;
    QTest::newRow("3 MiB image") << quint64{3145728} << SizeCheck::Accepted;
    QTest::newRow("limit itself") << quint64{3146240} << SizeCheck::Accepted;
    QTest::newRow("one above limit") << quint64{3146241} << SizeCheck::Refused;
    QTest::newRow("4 MiB image") << quint64{4194304} << SizeCheck::Refused;
}

void RomFileTest::sizeCheckOnRealFiles() {
    QFETCH(quint64, length);
    QFETCH(SizeCheck, verdict);
    const std::string path = scratch_.Path("sized.smc");
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(path, length);

    RomFile file;
    QVERIFY(file.Open(path).ok());
    const Result<SizeCheck> check = file.LoadROMFileSize(path);
    QVERIFY2(check.ok(), check.message().c_str());
    QCOMPARE(check.value(), verdict);
    QCOMPARE(CheckROMSize(length), verdict);
    file.Close();
    QCOMPARE(FileSize(path), std::uint64_t{length});
}

void RomFileTest::openCreatesAnEmptyFileThatIsAccepted() {
    const std::string path = scratch_.Path("new.sfc");
    std::filesystem::remove(path);
    RomFile file;
    QVERIFY(!file.IsOpen());
    const Status opened = file.Open(path);
    QVERIFY2(opened.ok(), opened.message().c_str());
    QVERIFY(file.IsOpen());
    QCOMPARE(file.Path(), path);
    QVERIFY(std::filesystem::is_regular_file(path));
    QCOMPARE(FileSize(path), std::uint64_t{0});
    const Result<SizeCheck> check = file.LoadROMFileSize(path);
    QVERIFY(check.ok());
    QCOMPARE(check.value(), SizeCheck::Accepted);
}

void RomFileTest::openFailsWithTheSystemsReason_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    QTest::newRow("folder that does not exist")
        << QString::fromStdString(scratch_.Path("no such folder/game.sfc")) << ENOENT;
    QTest::newRow("a folder") << QString::fromStdString(scratch_.Path("")) << EISDIR;
    // A running program cannot be opened for writing.
    QTest::newRow("running program") << QCoreApplication::applicationFilePath() << ETXTBSY;
}

void RomFileTest::openFailsWithTheSystemsReason() {
    QFETCH(QString, path);
    QFETCH(int, error);
    if (error == ETXTBSY) {
        const int probe = ::open(path.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
        if (probe >= 0) {
            ::close(probe);
            QSKIP("this system lets a running program be opened for writing");
        }
    }
    RomFile file;
    const Status opened = file.Open(path.toStdString());
    QVERIFY(!opened.ok());
    QVERIFY(!file.IsOpen());
    QVERIFY2(Contains(opened.message(), path.toStdString()), opened.message().c_str());
    QVERIFY2(Contains(opened.message(), std::strerror(error)), opened.message().c_str());
    QVERIFY(!std::filesystem::exists(scratch_.Path("no such folder")));

    const Status empty = file.Open("");
    QVERIFY(!empty.ok());
    QVERIFY(!empty.message().empty());
    QVERIFY(!file.IsOpen());
}

void RomFileTest::openFailsOnAReadOnlyFile() {
    const std::string path = scratch_.Sample("readonly.sfc");
    ReadOnlyFile readOnly(path);
    if (readOnly.expectedErrno() == 0) {
        QSKIP("this file system cannot make a file read-only for the superuser");
    }
    RomFile file;
    const Status opened = file.Open(path);
    QVERIFY(!opened.ok());
    QVERIFY(!file.IsOpen());
    QVERIFY2(Contains(opened.message(), path), opened.message().c_str());
    QVERIFY2(Contains(opened.message(), std::strerror(readOnly.expectedErrno())),
             opened.message().c_str());
}

void RomFileTest::openWhileOpenKeepsTheFirstFile() {
    const std::string first = scratch_.Sample("first.sfc");
    const std::string second = scratch_.Path("second.sfc");
    RomFile file;
    QVERIFY(file.Open(first).ok());
    const std::uint64_t generation = file.Generation();
    QVERIFY(!file.Open(second).ok());
    QVERIFY(file.IsOpen());
    QCOMPARE(file.Path(), first);
    QCOMPARE(file.Generation(), generation);
    QVERIFY(file.ReadAt(0xFFC0, 9).ok());
}

void RomFileTest::closeTwiceAndUseAfterClose() {
    const std::string path = scratch_.Sample("close.sfc");
    const Bytes before = ReadWholeFile(path);
    RomFile file;
    file.Close();  // never opened
    QVERIFY(!file.IsOpen());
    QVERIFY(file.Open(path).ok());
    file.Close();
    file.Close();
    QVERIFY(!file.IsOpen());

    const auto read = file.ReadAt(0, 1);
    QVERIFY(!read.ok());
    QVERIFY(!read.message().empty());
    const Status write = file.WriteAt(0, {0xAA});
    QVERIFY(!write.ok());
    QVERIFY(!write.message().empty());
    QVERIFY(!ReadLevelRecord(file, CharacterId::Girl, 0).ok());
    QVERIFY(!WriteLevelRecord(file, CharacterId::Girl, 0, LevelRecord{}).ok());
    QVERIFY(ReadWholeFile(path) == before);

    // It opens again after closing, and counts the new opening.
    const std::uint64_t generation = file.Generation();
    QVERIFY(file.Open(path).ok());
    QVERIFY(file.Generation() != generation);
}

void RomFileTest::writeReachesTheSystemAndTouchesOnlyItsBytes() {
    const std::string path = scratch_.Sample("io.sfc");
    Bytes expected = ReadWholeFile(path);
    RomFile file;
    QVERIFY(file.Open(path).ok());

    const std::uint64_t p = 0x12345;
    const Bytes two = {static_cast<std::uint8_t>(expected[p] ^ 0xFF),
                       static_cast<std::uint8_t>(expected[p + 1] ^ 0x5A)};
    QVERIFY(file.WriteAt(p, two).ok());
    expected[p] = two[0];
    expected[p + 1] = two[1];

    // Seen by another reader while the file is still open: nothing held back.
    QVERIFY(ReadWholeFile(path) == expected);
    const auto back = file.ReadAt(p, 2);
    QVERIFY(back.ok());
    QCOMPARE(Hex(back.value()), Hex(two));

    // The very first and very last byte of the file.
    const std::uint64_t last = expected.size() - 1;
    QVERIFY(file.WriteAt(0, {0x01}).ok());
    QVERIFY(file.WriteAt(last, {0x02}).ok());
    expected[0] = 0x01;
    expected[last] = 0x02;
    QCOMPARE(file.ReadAt(last, 1).value().at(0), std::uint8_t{0x02});
    file.Close();
    QVERIFY(ReadWholeFile(path) == expected);
}

void RomFileTest::rangesPastTheEndAreRefused_data() {
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<int>("count");
    QTest::newRow("last byte and one more") << quint64{99} << 2;
    QTest::newRow("just past the end") << quint64{100} << 1;
    QTest::newRow("far past the end") << quint64{0x104210} << 2;
    QTest::newRow("offset near 2^64") << quint64{~0ULL - 1} << 2;
}

void RomFileTest::rangesPastTheEndAreRefused() {
    QFETCH(quint64, offset);
    QFETCH(int, count);
    const std::string path = scratch_.SamplePrefix("short.sfc", 100);
    const Bytes before = ReadWholeFile(path);
    RomFile file;
    QVERIFY(file.Open(path).ok());

    const auto read = file.ReadAt(offset, static_cast<std::size_t>(count));
    QVERIFY(!read.ok());
    QVERIFY2(NamesOffset(read.message(), offset), read.message().c_str());
    QVERIFY2(Contains(read.message(), "100"), read.message().c_str());

    const Status write = file.WriteAt(offset, Bytes(static_cast<std::size_t>(count), 0xEE));
    QVERIFY(!write.ok());
    QVERIFY2(NamesOffset(write.message(), offset), write.message().c_str());
    QVERIFY2(Contains(write.message(), "100"), write.message().c_str());

    // Right up to the end is fine.
    QVERIFY(file.ReadAt(98, 2).ok());
    QVERIFY(file.ReadAt(0, 100).ok());
    file.Close();
    QCOMPARE(FileSize(path), std::uint64_t{100});
    QVERIFY(ReadWholeFile(path) == before);
}

void RomFileTest::writeRefusedByTheSystemIsReported() {
    if (!std::filesystem::exists("/dev/full")) QSKIP("no /dev/full here");
    RomFile file;
    QVERIFY(file.Open("/dev/full").ok());
    const Result<SizeCheck> check = file.LoadROMFileSize("/dev/full");
    QVERIFY(check.ok());
    QCOMPARE(check.value(), SizeCheck::Accepted);  // a device reads as 0 bytes long

    const Status write = file.WriteAt(0x104210, {0xE7, 0x03});
    QVERIFY(!write.ok());
    QVERIFY2(Contains(write.message(), std::strerror(ENOSPC)), write.message().c_str());
    const Status record = WriteLevelRecord(file, CharacterId::Hero, 0, LevelRecord{999, 0, 99, 99, 99, 99, 99});
    QVERIFY(!record.ok());
    QVERIFY2(Contains(record.message(), std::strerror(ENOSPC)), record.message().c_str());
    QVERIFY(file.IsOpen());
    file.Close();
}

void RomFileTest::fileTruncatedAfterOpening() {
    const std::string path = scratch_.Sample("truncated.sfc");
    RomFile file;
    QVERIFY(file.Open(path).ok());
    QVERIFY(ReadLevelRecord(file, CharacterId::Sprite, 98).ok());

    // Another program cuts the file short in the middle of the Hero's first record.
    const std::uint64_t cut = 0x104214;
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
    QCOMPARE(FileSize(path), cut);
    QVERIFY(ReadWholeFile(path) == before);
}

void RomFileTest::savedRecordSurvivesKillNine() {
    const std::string path = scratch_.Sample("killed.sfc");
    const LevelRecord saved{-1234, 0xAB, 1, 2, 3, 4, 5};
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        RomFile file;
        if (!file.Open(path).ok()) ::_exit(2);
        if (!WriteLevelRecord(file, CharacterId::Girl, 57, saved).ok()) ::_exit(3);
        ::raise(SIGKILL);
        ::_exit(4);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFSIGNALED(status), qPrintable(QString("child exited with %1").arg(WEXITSTATUS(status))));
    QCOMPARE(WTERMSIG(status), SIGKILL);
    // Girl level index 57: 0x104528 + 8 * 57.
    QCOMPARE(Hex(BytesAt(path, 0x104528 + 8 * 57, 8)), Hex({0x2E, 0xFB, 0xAB, 1, 2, 3, 4, 5}));
}

QTEST_GUILESS_MAIN(RomFileTest)
#include "tst_rom_file.moc"
