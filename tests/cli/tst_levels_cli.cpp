// thornwake-levels run as a user runs it, in a scratch folder: one table of
// command lines with the exit status, the whole standard output and error, and
// the bytes of the image or of the output file afterwards. Every expected text
// and byte comes from the test's own reading of the image.

#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "ips_patch.h"
#include "sample_image.h"

namespace {

// The program under test: this build's, or THORNWAKE_LEVELS_EXE; a Windows .exe runs under Wine, whose system
// messages differ.
const QString Program = qEnvironmentVariable("THORNWAKE_LEVELS_EXE", THORNWAKE_LEVELS_EXE);
const bool Windows = Program.endsWith(".exe");

// Where the game keeps each table, as documented for modders; in the order of presentation.
const QStringList Names{"Hero", "Sprite", "Girl"};
constexpr int Bases[] = {0x104210, 0x104840, 0x104528};
const QStringList Fields{"HP", "MP", "Strength", "Agility", "Constitution", "Intelligence", "Wisdom"};
const QByteArray Header = "character,level,hp,mp,strength,agility,constitution,intelligence,wisdom";
const QString Usage = "\nRun with --help for more information.\n";
// The map mode, cartridge type and ROM size bytes of an image's internal header (0xFFD5 to 0xFFD7), and how `check`
// shows them.
const std::map<QByteArray, QString> Headers{{"200000", "0x20 (LoROM)\nROM size: 0x00 (unknown)"},
                                            {"220001", "0x22 (LoROM, S-DD1)\nROM size: 0x01 (2 KiB)"},
                                            {"230009", "0x23 (LoROM, SA-1)\nROM size: 0x09 (512 KiB)"},
                                            {"35000A", "0x35 (ExHiROM, FastROM)\nROM size: 0x0A (1 MiB)"},
                                            {"24000D", "0x24 (unknown)\nROM size: 0x0D (8 MiB)"},
                                            {"41000E", "0x41 (unknown)\nROM size: 0x0E (unknown)"}};

int wordAt(const QByteArray& image, int at) { return qFromLittleEndian<quint16>(image.constData() + at); }
// Field f (0 HP .. 6 Wisdom) of record r (0..296: the Hero's levels 1..99, the Sprite's, the Girl's), as stored.
int field(const QByteArray& image, int r, int f) {
    const int at = Bases[r / 99] + 8 * (r % 99);
    return f ? quint8(image[at + f + 1]) : qint16(wordAt(image, at));
}

// `export`: the Hero's mp empty in CSV, null in JSON.
QString exported(const QByteArray& image, bool json) {
    QStringList rows;
    for (int r = 0; r < 297; ++r) {
        QString text =
            json ? "  {\n    \"character\": \"%1\",\n    \"level\": %2,\n    \"hp\": %3,\n    \"mp\": %4,\n    "
                   "\"strength\": %5,\n    \"agility\": %6,\n    \"constitution\": %7,\n    "
                   "\"intelligence\": %8,\n    \"wisdom\": %9\n  }"
                 : "%1,%2,%3,%4,%5,%6,%7,%8,%9";
        text = text.arg(Names[r / 99].toLower()).arg(r % 99 + 1);
        for (int f = 0; f < 7; ++f)
            text = text.arg(f != 1 || r >= 99 ? QString::number(field(image, r, f)) : json ? "null" : "");
        rows << text;
    }
    return json ? "[\n" + rows.join(",\n") + "\n]\n" : QString(Header + '\n') + rows.join('\n') + '\n';
}

// `show`: right-aligned columns as wide as their names, at least 6; the Hero has no MP column.
QString table(const QByteArray& image, int c) {
    QString text = Names[c];
    for (int level = 0; level <= 99; ++level) {
        text += level ? QString::asprintf("\n%5d", level) : "\nLevel";
        for (int f = 0; f < 7; ++f) {
            const QString cell = level ? QString::number(field(image, 99 * c + level - 1, f)) : Fields[f];
            if (f != 1 || c) text += "  " + cell.rightJustified(qMax(6, int(Fields[f].size())));
        }
    }
    return text + '\n';
}

// "Hero level 1: HP 53 -> -2, Wisdom 4 -> 6" for each record whose bytes differ.
QString changes(const QByteArray& a, const QByteArray& b) {
    QString text;
    for (int r = 0; r < 297; ++r) {
        QStringList fields;
        for (int f = 0; f < 7; ++f) {
            const int x = field(a, r, f);
            const int y = field(b, r, f);
            if (x != y) fields << QString("%1 %2 -> %3").arg(Fields[f]).arg(x).arg(y);
        }
        if (!fields.isEmpty())
            text += QString("%1 level %2: %3\n").arg(Names[r / 99]).arg(r % 99 + 1).arg(fields.join(", "));
    }
    return text;
}

// The checksum and its complement as the console's boot code expects them: the sum of all
// bytes, these four counted as FF FF 00 00.
QByteArray withChecksum(QByteArray image) {
    image.replace(0xFFDC, 4, "\xFF\xFF\0\0", 4);
    quint16 sum = 0;
    for (const char c : image) sum += quint8(c);
    qToLittleEndian<quint16>(~sum, image.data() + 0xFFDC);
    qToLittleEndian<quint16>(sum, image.data() + 0xFFDE);
    return image;
}

// What `check` prints of an image; the sample's header by default.
QString checkText(const QByteArray& image, const QString& names = "0x31 (HiROM, FastROM)\nROM size: 0x0B (2 MiB)") {
    const QString header =
        QString("Size: %1 bytes, accepted by the size check\nTitle: \"THORNWAKE%2\"\nMap mode: %3\nChecksum: ")
            .arg(image.size())
            .arg(image[0xFFC9] == ' ' ? "" : "?")  // a byte past ASCII
            .arg(names);
    if (image.size() != 2097152) return header + "not checked; the rule is for a 2 MiB image\n";
    const QByteArray valid = withChecksum(image);
    return header + QString::asprintf("0x%04X, complement 0x%04X: ", wordAt(image, 0xFFDE), wordAt(image, 0xFFDC)) +
           (valid == image ? "valid\n"
                           : QString::asprintf("invalid, the image sums to 0x%04X\n", wordAt(valid, 0xFFDE)));
}

// An export as a spreadsheet saves it: another separator, another line end; with quotes around both, every cell
// is quoted.
QByteArray dialect(QString csv, const QString& separator, const QString& lineEnd) {
    return csv.replace(',', separator).replace('\n', lineEnd).toUtf8();
}

// Makes `path` read-only, or writable again; returns the error an open for writing then gets, 0 if that cannot be done
// here. Root passes permissions, so it makes the file immutable instead.
int setReadOnly(const QString& path, bool on) {
    if (::geteuid() != 0) return on && QFile::setPermissions(path, QFile::ReadOwner) ? EACCES : 0;
    return QProcess::execute("chattr", {on ? "+i" : "-i", path}) == 0 ? EPERM : 0;
}

// The writer's lock as another program holds it: flock on Linux; on Windows a byte-range lock on the byte at
// 2^63 - 2, which Wine keeps as a POSIX lock on the same byte.
bool lockImage(QFile& image) {
    if (!Windows) return image.open(QFile::ReadOnly) && ::flock(image.handle(), LOCK_EX) == 0;
    struct flock range = {F_WRLCK, SEEK_SET, 0x7FFFFFFFFFFFFFFE, 1, 0};
    return image.open(QFile::ReadWrite) && ::fcntl(image.handle(), F_SETLK, &range) == 0;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QFile::ReadOnly) ? file.readAll() : "(none)";
}

QStringList entries() { return QDir().entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot); }

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QFile::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class LevelsCliTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QByteArray g_, b_;  // the sample image; a copy with some table bytes and one other byte changed
    QByteArray hero_;   // the sample's Hero level 4, stray byte in its MP slot, given HP -300: bytes D4 FE, MP 0
    QStringList entries_;
    int readOnly_ = 0;  // the error a write open of ro.sfc gets

private slots:
    void initTestCase() {
        for (const char byte : thornwake::MakeSampleImage()) g_ += byte;
        b_ = g_;
        for (int at : {0x104211, 0x104217, 0x10423A, 0x104533, 0x104B57, 0x1000, 0xFFC9}) b_[at] = ~b_[at];
        hero_ = QByteArray(g_).replace(Bases[0] + 24, 3, "\xD4\xFE\0", 3);
        const QByteArray girl4 =
            "{\"character\":\"Girl\",\"level\":4,\"hp\":1,\"mp\":1,\"strength\":1,\"agility\":1,\"constitution\":1,"
            "\"intelligence\":1,\"wisdom\":true}";
        std::map<QString, QByteArray> files{
            {"ro.sfc", g_},
            {"レベル.sfc", g_},
            {"short.sfc", g_.left(0x104848)},
            {"tiny.sfc", g_.left(0xFFDF)},
            {"headered.sfc", QByteArray(2097664, '\0')},
            {"big.sfc", g_.leftJustified(3146241)},
            {"bad.csv", dialect(exported(g_, false).replace("girl,99,", "girl,100,"), ",", "\r\n") + "\"he\r\nro\""},
            // every cell quoted, a blank inside the quotes
            {"hero;.csv", '"' + dialect(exported(hero_, false), " \";\"", "\"\r\"").chopped(1)},
            {"hero.tsv",
             "\xEF\xBB\xBF" +
                 dialect(
                     ",,,,,,,,\n" + exported(hero_, false).replace(QRegularExpression("(?m)^(\\w+),(\\w+)"), "\\2,\\1"),
                     "\t", "\r\n")},
            {"hero.json", exported(hero_, true).toUtf8()},
            {"head.csv", "character;level;hp\nhero;1;2\n"},
            {"many.csv", Header + ("\rwizard" + QByteArray("é").repeated(50) + ",1,1,,1,1,1,1,1").repeated(25)},
            {"1MiB.csv", Header.leftJustified(1 << 20, '\n')},
            {"big.csv", Header.leftJustified((1 << 20) + 1, '\n')},
            {"obj.json", "{\"character\": \"hero\"}"},
            {"girl.json", "[" + girl4 + ",\n" + QByteArray(girl4).replace("true", "[1]") + "]"},
            {"deep.json", "[" + girl4.chopped(5) + QByteArray(1e5, '[').leftJustified(2e5, ']') + "}]"},
            {"twice.json", "[" + QByteArray(girl4).replace("\"hp\":1", "\"hp\":1,\"hp\":2") + "]"},
            {"zero.json", "[" + girl4 + QByteArray("]\0 garbage", 10)},
            {"malformed.json", "[\r\n" + girl4 + ",\r\n{\"level\": 4x}]"},
        };
        for (const auto& [hex, text] : Headers) {  // images just long enough for the checksum
            files[hex + ".sfc"] = g_.left(0xFFE0).replace(0xFFD5, 3, QByteArray::fromHex(hex));
        }
        QVERIFY(QDir::setCurrent(dir_.path()));
        for (const auto& [name, content] : files) QVERIFY(writeFile(name, content));
        init();
        QVERIFY(QDir().mkdir("dir") && ::mkfifo("fifo", 0600) == 0 && ::symlink("loop", "loop") == 0 &&
                ::symlink("gone", "dangling") == 0);
        readOnly_ = setReadOnly("ro.sfc", true);
        if (!Windows) qputenv("LD_PRELOAD", THORNWAKE_FAULT_SHIM);  // for the programs the test starts
        entries_ = entries();
    }

    void cleanupTestCase() { setReadOnly("ro.sfc", false); }

    // game.sfc, b.sfc and out as every row finds them.
    void init() { QVERIFY(writeFile("game.sfc", g_) && writeFile("b.sfc", b_) && writeFile("out", "old")); }

    void commands_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("result");  // exit status, standard output, standard error
        QTest::addColumn<QByteArray>("after");    // "out" where the command names it, else its first image; if changed
        // The exit status follows from the messages, as documented: 2 after a usage error, 1 after any other error.
        const auto row = [](QString name, QString err, QString out = {}, QByteArray after = {}) {
            const QString status = name.contains("kill|") ? "killed"
                                   : err.isEmpty()        ? "0"
                                   : err.endsWith(Usage)  ? "2"
                                                          : "1";
            QTest::newRow(qPrintable(name))
                << name.section('|', -1).split(' ') << QStringList{status, out, err} << after;
        };
        const QString denied = Windows ? "Access denied" : strerror(readOnly_);
        for (const QString& command : QStringList{"show %1", "export %1", "import %1 hero.json", "max %1 sprite",
                                                  "diff b.sfc %1", "check %1 --fix-checksum"}) {
            const QString special = QStringList{"dir", "fifo", "/dev/null"}[command.indexOf(' ') % 3];
            row(command.arg(special), special + " is not a regular file.\n");
            row(command.arg("loop"),
                Windows ? "loop: The filename cannot be resolved\n" : "loop: Too many levels of symbolic links\n");
            if (command.contains(QRegularExpression("import|max|fix"))) {  // the commands that write
                row("locked|--wait 0 " + command.arg("game.sfc"), "game.sfc is being changed by another program.\n");
                row(command.arg("ro.sfc"), "Cannot open \"ro.sfc\": " + denied + ".\n");
            }
            row(command.arg("headered.sfc"),
                "headered.sfc: This ROM has a 200 byte header that must be removed before using this program.\n");
            if (!command.startsWith("check"))
                row(command.arg("short.sfc"),
                    "short.sfc: Sprite level 2 (bytes 0x104848 to 0x10484F) lies beyond the end of the image, which "
                    "has 1067080 bytes\n");
        }
        row("show ro.sfc", {}, table(g_, 0) + '\n' + table(g_, 1) + '\n' + table(g_, 2));
        row("show short.sfc --character GIRL", {}, table(g_, 2));
        row("locked|--wait 3600 show game.sfc --character hero", {}, table(g_, 0));
        row("show typo.sfc", Windows ? "typo.sfc: File not found\n" : "typo.sfc: No such file or directory\n");
        row("show big.sfc",
            "big.sfc: This ROM is too large: it has 3146241 bytes, 1 more than the 3146240 this program takes.\n");
        row("show " + dir_.path() + "/レベル.sfc --character hero", {}, table(g_, 0));
        row("export game.sfc", {}, exported(g_, false));
        row("export game.sfc --format JSON", {}, exported(g_, true));
        row("owned (Linux only: Windows files have no POSIX owner)|export ro.sfc -o out --delimiter semicolon", {}, {},
            dialect(exported(g_, false), ";", "\n"));
        row("export ro.sfc -o out --delimiter tab", {}, {}, dialect(exported(g_, false), "\t", "\n"));
        const QString tooLarge =
            Windows ? "out: cannot write: General failure\n" : "out: cannot write: File too large\n";
        row("full|export game.sfc -o out", tooLarge);
        row("export game.sfc -o game.sfc", "game.sfc: is game.sfc itself; choose another output file\n");
        row("export game.sfc -o ro.sfc", "ro.sfc: cannot write: " + denied + "\n");
        const QString noLinks = "Linux only: Windows programs under Wine do not see the links as Linux does|";
        row(noLinks + "export game.sfc -o loop", "loop: cannot write: Too many levels of symbolic links\n");
        row(noLinks + "diff game.sfc b.sfc --ips dangling",
            "dangling: cannot write: a link to gone, which does not exist\n");
        row(noLinks + "import game.sfc loop", "loop: Too many levels of symbolic links\n");
        row("fsync 1 rename dir moved|export game.sfc -o moved", "moved: cannot write: Is a directory\n");
        // A file of exactly 1 MiB is read; a header alone changes nothing. The stray bytes in the Hero's MP slots are
        // no difference: the imports below change the one record they alter.
        row("import game.sfc 1MiB.csv", {}, "0 records changed.\n");
        row("import ro.sfc hero;.csv --dry-run", {}, changes(g_, hero_) + "1 record would change; nothing written.\n");
        for (const QString file : {"hero;.csv", "hero.tsv", "hero.json"})
            row("import game.sfc " + file, {}, "1 record changed.\n", hero_);
        row("locked,fed|--wait 0 import game.sfc fifo",
            "fifo:1: expected a header row naming character, level, hp, mp, strength, agility, constitution, "
            "intelligence, wisdom, separated by commas, semicolons or tabs.\nfifo: 1 error; nothing written to "
            "game.sfc\n");
        row("import game.sfc obj.json",
            "obj.json: expected a JSON array of objects with the keys character, level, hp, mp, strength, agility, "
            "constitution, intelligence, wisdom, as export --format json writes.\nobj.json: 1 error; nothing "
            "written to game.sfc\n");
        row("import game.sfc girl.json",
            "girl.json: entry 1 (girl level 4): wisdom \"true\" is not a number from 0 to 255\ngirl.json: entry 2 "
            "(girl level 4): wisdom \"[1]\" is not a number from 0 to 255\ngirl.json: entry 2 (girl level 4): Girl "
            "level 4 is already given in entry 1\ngirl.json: 3 errors; nothing written to game.sfc\n");
        QString many;
        for (int line = 2; line <= 21; ++line)
            many += QString("many.csv:%1: unknown character \"wizard%2\"...; expected hero, sprite or girl\n")
                        .arg(line)
                        .arg(QString(34, u'é'));
        row("import game.sfc many.csv", many + "... and 5 more\nmany.csv: 25 errors; nothing written to game.sfc\n");
        row("import game.sfc big.csv",
            "big.csv: is larger than 1 MiB, far more than level records take (an export of all 297 is about 10 KB); "
            "check that it is the file you meant\n");
        row("import game.sfc bad.csv",
            "bad.csv:298: level \"100\" is not a whole number from 1 to 99\n"
            "bad.csv:299: has 1 field; the header has 9\n"
            "bad.csv: 2 errors; nothing written to game.sfc\n");
        row("import game.sfc deep.json",
            "deep.json: entry 1: nested more than 3 deep; an export holds numbers, text and null in its objects\n"
            "deep.json: 1 error; nothing written to game.sfc\n");
        row("import game.sfc twice.json",
            "twice.json: entry 1: has the key \"hp\" twice\ntwice.json: 1 error; nothing written to game.sfc\n");
        row("import game.sfc zero.json",
            "zero.json:1: malformed JSON: a NUL byte, which JSON text never holds\nzero.json: 1 error; nothing "
            "written to game.sfc\n");
        row("import game.sfc malformed.json",
            "malformed.json:3: malformed JSON: syntax error while parsing object - invalid literal; last read: "
            "\"4x\"; expected '}'\nmalformed.json: 1 error; nothing written to game.sfc\n");
        // HP 999 and every other stat 99 ('c'), the Hero's MP byte 0, in records from .. to - 1.
        const auto maxed = [&](int from, int to) {
            QByteArray image = g_;
            for (int r = from; r < to; ++r)
                image.replace(Bases[r / 99] + 8 * (r % 99), 8, r < 99 ? "\xE7\3\0ccccc" : "\xE7\3cccccc", 8);
            return image;
        };
        row("max game.sfc Sprite", {}, "Sprite: all 99 levels maximized.\n", maxed(99, 198));
        row("max game.sfc ALL", {}, "Hero, Sprite and Girl: all 297 levels maximized.\n", maxed(0, 297));
        // Killed, failing or moved away while it writes: every record old or new, and the report says which.
        row("pwrite 100 kill|max game.sfc all", {}, {}, maxed(0, 99));
        row("fsync 1 rename game.sfc moved|max game.sfc sprite",
            "game.sfc was moved, replaced or deleted while it was written.\ngame.sfc: The new levels are in a file "
            "that is no longer at game.sfc; the file now there, if any, is unchanged.\n",
            {}, maxed(99, 198));
        row("pwrite 1 short3|import game.sfc hero.json",
            "hero.json: entry 4 (hero level 4): Hero level 4: could not be written\nCannot write \"game.sfc\": No "
            "space left on device.\ngame.sfc: Level 4 of the Hero is incomplete: its HP reached the file; the other "
            "fields kept their old values. Import the file again once the cause is mended.\n",
            {}, hero_);
        QByteArray patch = "PATCH";
        for (int at : {0x104211, 0x104217, 0x10423A, 0x104533, 0x104B57})
            patch += QByteArray::fromHex(QByteArray::number(at, 16) + "0001") + b_[at];
        row("diff ro.sfc b.sfc --ips out", {}, changes(g_, b_), patch + "EOF");
        row("full|diff game.sfc b.sfc --ips out", tooLarge);
        const QByteArray fixed = withChecksum(b_);
        row("check ro.sfc", {}, checkText(g_));
        row("check game.sfc --fix-checksum", {}, checkText(g_) + "The checksum is valid already; nothing written.\n");
        row("check b.sfc --fix-checksum", {},
            checkText(b_) + QString::asprintf("Checksum fixed: 0x%04X, complement 0x%04X written at 0xFFDC.\n",
                                              wordAt(fixed, 0xFFDE), wordAt(fixed, 0xFFDC)),
            fixed);
        row("fsync 1 rename b.sfc moved|check b.sfc --fix-checksum",
            "b.sfc was moved, replaced or deleted while it was written.\nb.sfc: The checksum is in a file that is no "
            "longer at b.sfc; the file now there, if any, is unchanged.\n",
            checkText(b_), fixed);
        row("fsync 1 EIO|check b.sfc --fix-checksum",
            "Cannot flush \"b.sfc\" to disk: Input/output error.\nb.sfc: The checksum is in the file, but the system "
            "could not confirm that it reached the disk.\n",
            checkText(b_), fixed);
        for (const auto& [hex, text] : Headers)
            row("check " + hex + ".sfc --fix-checksum", hex + ".sfc: the checksum can only be fixed in a 2 MiB image\n",
                checkText(g_.left(0xFFE0), text));
        row("check tiny.sfc --fix-checksum", "tiny.sfc: has no internal header whose checksum could be fixed\n",
            "Size: 65503 bytes, accepted by the size check\nHeader: none, the image ends before 0xFFE0\n");
        row("max game.sfc everyone", "CHARACTER: everyone not in {hero,sprite,girl,all}" + Usage);
        for (const QString seconds : {"nan", "abc", "3600.5"})
            row("max game.sfc hero --wait " + seconds, "--wait: a number of seconds from 0 to 3600" + Usage);
        row("show ", "IMAGE: the file name is empty" + Usage);
        row("export game.sfc -o ", "--output: the file name is empty" + Usage);
        row("frob game.sfc", "frob: not a subcommand; expected show, export, import, max, diff or check" + Usage);
        row("--frob game.sfc", "A subcommand is required" + Usage);
    }

    // A row's name is its command line, after what it needs first and a '|': "locked" (the test holds the writer's
    // lock on game.sfc), "full" (no room for a file), "owned" ("out" owned by nobody), "fed" (head.csv written into
    // the FIFO), or a failing disk (see fault_shim.cpp). A name with a blank before the '|' is for Linux only.
    void commands() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, result);
        QFETCH(QByteArray, after);
        const QString setup = QString(QTest::currentDataTag()).section('|', 0, -2);
        if (result[2].contains("ro.sfc") && !readOnly_) QSKIP("cannot make a file read-only here");
        if (Windows && setup.contains(' ')) {
            QSKIP(qPrintable(setup.contains("Linux only")
                                 ? setup
                                 : "the failing disk is a Linux library in front of the C library"));
        }
        const QString checked = args.contains("out") ? "out" : args.filter(".sfc").value(0, "game.sfc");
        if (after.isNull()) after = readFile(checked);
        QFile image("game.sfc");
        if (setup.startsWith("locked")) QVERIFY(lockImage(image));
        if (setup.startsWith("owned") && ::chown("out", 65534, 65534) != 0) QSKIP("cannot give a file away here");
        args.prepend(Program);
        if (Windows) args.prepend("wine");
        const QString shell = setup == "full"         ? "trap '' XFSZ; ulimit -f 0; "
                              : setup.endsWith("fed") ? "timeout 9 sh -c 'cat head.csv >fifo' & "
                                                      : "";
        qputenv("THORNWAKE_FAULT", setup.toUtf8());
        QProcess process;
        if (!shell.isEmpty()) args = QStringList{"sh", "-c", shell + "exec \"$0\" \"$@\""} + args;
        process.start(args.takeFirst(), args);
        QVERIFY(process.waitForFinished(30000));
        const QStringList got{
            process.exitStatus() == QProcess::CrashExit ? "killed" : QString::number(process.exitCode()),
            process.readAllStandardOutput(), process.readAllStandardError()};
        QCOMPARE(got, result);
        if (setup.contains(" rename ")) QDir().rename("moved", setup.section(' ', 3, 3));  // what the disk moved away
        QCOMPARE(readFile(checked), after);
        if (setup.startsWith("owned")) QCOMPARE(QFileInfo("out").ownerId(), 65534u);
        QCOMPARE(entries(), entries_);
    }

    // A record never starts at 0x454F46, which readers take for the end marker "EOF": it starts one byte
    // earlier, with that byte of the new image, also where it lies before the range compared. A record holds
    // at most 65535 bytes; a longer run of changes goes on in the next one.
    void ipsRecordsNeverStartAtEof() {
        const std::vector<std::uint8_t> before(0x464F50, 3);
        auto after = before;
        after[0x454F45] = 5;
        std::fill_n(after.begin() + 0x454F46, 0x10000, 7);
        QByteArray patch;
        for (const char byte : thornwake::cli::MakeIpsPatch(before, after, 0x454F46, 0x464F50)) patch += byte;
        QCOMPARE(patch, "PATCH" + QByteArray::fromHex("454F45 FFFF 05") + QByteArray(0xFFFE, 7) +
                            QByteArray::fromHex("464F44 0002 0707") + "EOF");
    }
};

QTEST_GUILESS_MAIN(LevelsCliTest)
#include "tst_levels_cli.moc"
