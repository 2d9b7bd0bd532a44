// thornwake-levels run as a user runs it, in a scratch folder: one table of
// command lines with the exit status, the whole standard output and error, and
// the bytes of the image or of the output file afterwards. Every expected text
// and byte comes from the test's own reading of the image.

#include <QtTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ips_patch.h"
#include "sample_image.h"

namespace {

// The program under test: this build's, or THORNWAKE_LEVELS_EXE; a Windows .exe runs under Wine.
const QString Program = qEnvironmentVariable("THORNWAKE_LEVELS_EXE", THORNWAKE_LEVELS_EXE);
const bool Windows = Program.endsWith(".exe");
QString onLinux(const QString& text, const QString& onWindows) { return Windows ? onWindows : text; }

// Where the game keeps each table, as documented for modders; in the order of presentation.
const QStringList Names{"Hero", "Sprite", "Girl"};
constexpr int Bases[3] = {0x104210, 0x104840, 0x104528};
const QStringList Fields{"HP", "MP", "Strength", "Agility", "Constitution", "Intelligence", "Wisdom"};
const QStringList Keys = ("character,level," + Fields.join(',').toLower()).split(',');

int byteAt(const QByteArray& image, int at) { return quint8(image[at]); }
int wordAt(const QByteArray& image, int at) { return byteAt(image, at) | byteAt(image, at + 1) << 8; }
// Field f (0 HP .. 6 Wisdom) of record r (0..296: the Hero's levels 1..99, the Sprite's, the Girl's), as stored.
int field(const QByteArray& image, int r, int f) {
    return f ? byteAt(image, Bases[r / 99] + 8 * (r % 99) + f + 1)
             : qint16(wordAt(image, Bases[r / 99] + 8 * (r % 99)));
}

// `export`: the Hero's mp empty in CSV, null in JSON.
QString exported(const QByteArray& image, bool json) {
    QStringList rows;
    for (int r = 0; r < 297; ++r) {
        QStringList row{Names[r / 99].toLower(), QString::number(r % 99 + 1)};
        for (int f = 0; f < 7; ++f)
            row << (f != 1 || r >= 99 ? QString::number(field(image, r, f)) : json ? "null" : "");
        for (int i = 0; json && i < 9; ++i)
            row[i] = QString(i ? "    \"%1\": %2" : "    \"%1\": \"%2\"").arg(Keys[i], row[i]);
        rows << (json ? "  {\n" + row.join(",\n") + "\n  }" : row.join(','));
    }
    return json ? "[\n" + rows.join(",\n") + "\n]\n" : Keys.join(',') + '\n' + rows.join('\n') + '\n';
}

// `show`: right-aligned columns as wide as their names, at least 6; the Hero has no MP column.
QString table(const QByteArray& image, int c) {
    QString text = Names[c];
    for (int level = 0; level <= 99; ++level) {
        text += '\n' + (level ? QString::number(level).rightJustified(5) : QString("Level"));
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
        for (int f = 0; f < 7; ++f)
            if (const int x = field(a, r, f), y = field(b, r, f); x != y)
                fields << QString("%1 %2 -> %3").arg(Fields[f]).arg(x).arg(y);
        if (!fields.isEmpty())
            text += QString("%1 level %2: %3\n").arg(Names[r / 99]).arg(r % 99 + 1).arg(fields.join(", "));
    }
    return text;
}

// The checksum and its complement as the console's boot code expects them: the sum of all
// bytes, these four counted as FF FF 00 00.
QByteArray withChecksum(QByteArray image) {
    quint16 sum = 0x1FE;
    for (int i = 0; i < image.size(); ++i) sum += (i & ~3) == 0xFFDC ? 0 : byteAt(image, i);
    return image.replace(0xFFDC, 4, QByteArray(1, char(~sum)) + char(~sum >> 8) + char(sum) + char(sum >> 8));
}

QString checkText(const QByteArray& image) {
    const QString header = QString("Size: %1 bytes, accepted by the size check\nTitle: \"THORNWAKE\"\n"
                                   "Map mode: 0x31 (HiROM, FastROM)\n"
                                   "ROM size: 0x0B (2 MiB)\nChecksum: ").arg(image.size());
    if (image.size() != 2097152) return header + "not checked; the rule is for a 2 MiB image\n";
    const QByteArray valid = withChecksum(image);
    return header + QString::asprintf("0x%04X, complement 0x%04X: ", wordAt(image, 0xFFDE), wordAt(image, 0xFFDC)) +
           (valid == image ? "valid\n" : QString::asprintf("invalid, the image sums to 0x%04X\n",
                                                             wordAt(valid, 0xFFDE)));
}

// An export as a spreadsheet saves it: another separator, another line end, every cell quoted or not.
QByteArray dialect(QString csv, const QString& separator, const QString& lineEnd, bool quoted) {
    csv.replace(',', quoted ? '"' + separator + '"' : separator).replace('\n', quoted ? '"' + lineEnd + '"' : lineEnd);
    return (quoted ? ('"' + csv).chopped(1) : csv).toUtf8();
}

// The sample's Hero level 4, with a stray byte in its MP slot, given HP -300: the editor's bytes D4 FE, MP 0.
QByteArray heroEdited(QByteArray image) { return image.replace(Bases[0] + 24, 3, "\xD4\xFE\0", 3); }

// Makes `path` read-only, or writable again; returns the error an open for writing then gets, 0 if that cannot be done
// here. Root passes permissions, so it makes the file immutable instead.
int setReadOnly(const QString& path, bool on) {
    if (::geteuid() != 0) return on && QFile::setPermissions(path, QFile::ReadOwner) ? EACCES : 0;
    QFile file(path);
    int flags = 0;
    if (!file.open(QFile::ReadOnly) || ::ioctl(file.handle(), FS_IOC_GETFLAGS, &flags) != 0) return 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    return ::ioctl(file.handle(), FS_IOC_SETFLAGS, &flags) == 0 ? EPERM : 0;
}

// The writer's lock as another program holds it: flock on Linux; on Windows a byte-range lock on the byte at
// 2^63 - 2, which Wine keeps as a POSIX lock on the same byte.
bool lockImage(QFile& image) {
    if (!Windows) return image.open(QFile::ReadOnly) && ::flock(image.handle(), LOCK_EX) == 0;
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0x7FFFFFFFFFFFFFFE;
    range.l_len = 1;
    return image.open(QFile::ReadWrite) && ::fcntl(image.handle(), F_SETLK, &range) == 0;
}

QByteArray readFile(const QString& path) { QFile file(path);
                                           return file.open(QFile::ReadOnly) ? file.readAll() : "(none)"; }
bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QFile::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class LevelsCliTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QByteArray g_, b_;  // the sample image; a copy with some table bytes and one other byte changed
    QStringList entries_;
    int readOnly_ = 0;  // the error a write open of ro.sfc gets

private slots:
    void initTestCase() {
        const auto bytes = thornwake::MakeSampleImage();
        g_ = b_ = QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
        for (int at : {0x104211, 0x104217, 0x10423A, 0x104533, 0x104B57, 0x1000}) b_[at] = char(~b_[at]);
        QString csv = exported(g_, false);
        const QByteArray header = Keys.join(',').toUtf8();
        QVERIFY(QDir::setCurrent(dir_.path()) && writeFile("game.sfc", g_) && writeFile("out", "old") &&
                writeFile("b.sfc", b_) && writeFile("レベル.sfc", g_) && writeFile("ro.sfc", g_) && writeFile("levels.csv", csv.toUtf8()) &&
                QDir().mkdir("dir") && ::mkfifo("fifo", 0600) == 0 &&
                ::symlink("loop", "loop") == 0 && ::symlink("gone", "dangling") == 0 &&
                writeFile("bad.csv", csv.replace("girl,99,", "girl,100,").toUtf8() + "hero\n"));
        readOnly_ = setReadOnly("ro.sfc", true);
        const QByteArray hero = heroEdited(g_), girl4 = "{\"character\":\"Girl\",\"level\":4,\"hp\":1,\"mp\":1,"
            "\"strength\":1,\"agility\":1,\"constitution\":1,\"intelligence\":1,\"wisdom\":true}";
        QByteArray many = header;
        for (int line = 2; line <= 26; ++line) many += "\rwizard" + QByteArray(50, 'x') + ",1,1,,1,1,1,1,1";
        QVERIFY(writeFile("levels.json", exported(g_, true).toUtf8()) &&
                writeFile("hero.json", exported(hero, true).toUtf8()) &&
                writeFile("hero;.csv", dialect(exported(hero, false), ";", "\r", true)) &&
                writeFile("hero.tsv", "\xEF\xBB\xBF" + dialect(exported(hero, false).replace(
                          QRegularExpression("^(\\w+),(\\w+)", QRegularExpression::MultilineOption), "\\2,\\1"),
                          "\t", "\r\n", false)) &&
                writeFile("head.csv", "character;level;hp\nhero;1;2\n") &&
                writeFile("obj.json", "{\"character\": \"hero\"}") &&
                writeFile("girl.json", "[" + girl4 + ",\n" + girl4 + "]") && writeFile("many.csv", many) &&
                writeFile("deep.json", "[" + girl4.chopped(5) + QByteArray(1e5, '[').leftJustified(2e5, ']') + "}]") &&
                writeFile("twice.json", "[" + QByteArray(girl4).replace("\"hp\":1", "\"hp\":1,\"hp\":2") + "]") &&
                writeFile("zero.json", "[" + girl4 + QByteArray("]\0 garbage", 10)) &&
                writeFile("1MiB.csv", header.leftJustified(1 << 20, '\n')) &&
                writeFile("big.csv", header.leftJustified((1 << 20) + 1, '\n')));
        entries_ = QDir().entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }

    void cleanupTestCase() { setReadOnly("ro.sfc", false); }

    void commands_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("before");   // the image game.sfc
        QTest::addColumn<QStringList>("result");  // exit status, standard output, standard error
        QTest::addColumn<QByteArray>("after");    // the file "out" where the command names it ("old" before),
                                                  // else game.sfc
        const QByteArray g = g_, headered(2097664, '\0'), shortImage = g.left(0x104848);
        QByteArray patch = "PATCH";
        for (int at : {0x104211, 0x104217, 0x10423A, 0x104533, 0x104B57})
            patch += QByteArray(1, char(at >> 16)) + char(at >> 8) + char(at) + QByteArray("\0\1", 2) + b_[at];
        const auto row = [&](const QString& command, int status, const QString& out, const QString& err = {},
                             const QByteArray& before = {}, const QByteArray& after = {}, const QString& name = {}) {
            const QByteArray image = before.isNull() ? g : before;
            QTest::newRow(qPrintable(name.isNull() ? command : name)) << command.split(' ') << image
                << QStringList{status < 0 ? "killed" : QString::number(status), out, err} << (!after.isNull() ? after
                                                                  : command.contains(" out") ? "old" : image);
        };
        for (const QString& command : QStringList{"show game.sfc", "export game.sfc", "import game.sfc levels.csv",
                                                  "max game.sfc sprite", "diff b.sfc game.sfc",
                                                  "check game.sfc --fix-checksum"}) {
            const QString special = QStringList{"dir", "fifo", "/dev/null"}[command.indexOf(' ') % 3];
            row(QString(command).replace("game.sfc", special), 1, {}, special + " is not a regular file.\n");
            row(QString(command).replace("game.sfc", "loop"), 1, {},
                "loop: " + onLinux("Too many levels of symbolic links", "The filename cannot be resolved") + "\n");
            if (command.contains(QRegularExpression("import|max|fix"))) {  // the commands that write
                row("--wait 0 " + command, 1, {}, "game.sfc is being changed by another program.\n", {}, {},
                    "locked " + command);
                row(QString(command).replace("game.sfc", "ro.sfc"), 1, {},
                    QString("Cannot open \"ro.sfc\": %1.\n").arg(onLinux(strerror(readOnly_), "Access denied")));
            }
            row(command, 1, {}, "game.sfc: This ROM has a 200 byte header that must be removed before using this "
                "program.\n", headered, {}, command + ", headered");
            if (!command.startsWith("check")) {
                row(command, 1, {}, "game.sfc: Sprite level 2 (bytes 0x104848 to 0x10484F) lies beyond the end of the "
                    "image, which has 1067080 bytes\n", shortImage, {}, command + ", short");
            }
        }
        row("show ro.sfc", 0, table(g, 0) + '\n' + table(g, 1) + '\n' + table(g, 2));
        row("show game.sfc --character GIRL", 0, table(g, 2), {}, shortImage, {}, "show girl of a short image");
        row("show game.sfc --character hero", 0, table(g, 0), {}, {}, {}, "locked show");
        const QString missing = onLinux("No such file or directory", "File not found");
        row("show typo.sfc", 1, {}, "typo.sfc: " + missing + "\n");
        row("show " + QString(300, 'x'), 1, {}, QString(300, 'x') + ": " + onLinux("File name too long", "File not found") +
            "\n", {}, {}, "show long name");
        row("show game.sfc", 1, {}, "game.sfc: This ROM is too large: it has 3146241 bytes, 1 more than the 3146240 "
            "this program takes.\n", g.leftJustified(3146241), {}, "show too large");
        row("show " + dir_.path() + "/レベル.sfc --character hero", 0, table(g, 0), {}, {}, {}, "show /absolute/レベル.sfc");
        row("export game.sfc", 0, exported(g, false));
        row("export game.sfc --format JSON", 0, exported(g, true));
        row("export ro.sfc -o out", 0, {}, {}, {}, exported(g, false).toUtf8());
        const QString tooLarge = "out: cannot write: " + onLinux("File too large", "General failure") + "\n";
        row("export game.sfc -o out", 1, {}, tooLarge, {}, {}, "full export");
        row("export game.sfc -o game.sfc", 1, {}, "game.sfc: is game.sfc itself; choose another output file\n");
        const QString noLinks = " (Linux only: Windows programs under Wine do not see the links as Linux does)";
        row("export game.sfc -o loop", 1, {}, "loop: cannot write: Too many levels of symbolic links\n", {}, {},
            "export to a loop" + noLinks);
        row("export game.sfc -o ro.sfc", 1, {},
            QString("ro.sfc: cannot write: %1\n").arg(onLinux(strerror(readOnly_), "Access denied")));
        row("export game.sfc -o out", 0, {}, {}, {}, exported(g, false).toUtf8(),
            "owned export (Linux only: Windows files have no POSIX owner)");
        row("diff game.sfc b.sfc --ips dangling", 1, {}, "dangling: cannot write: a link to gone, which does not "
            "exist\n", {}, {}, "patch to a dangling link" + noLinks);
        // An untouched export changes no byte: the stray bytes in the Hero's MP slots are no difference.
        row("import ro.sfc levels.csv --dry-run", 0, "0 records would change; nothing written.\n");
        for (const QString file : {"levels.csv", "levels.json"})
            row("import game.sfc " + file, 0, "0 records changed.\n");
        for (const QString name : {"semicolon", "tab"})
            row("export game.sfc -o out --delimiter " + name, 0, {}, {}, {},
                dialect(exported(g, false), name == "tab" ? "\t" : ";", "\n", false));
        const QByteArray hero = heroEdited(g);
        row("import ro.sfc hero;.csv --dry-run", 0, changes(g, hero) + "1 record would change; nothing written.\n");
        for (const QString file : {"hero;.csv", "hero.tsv", "hero.json"})
            row("import game.sfc " + file, 0, "1 record changed.\n", {}, {}, hero);
        const QString nothing = ": 1 error; nothing written to game.sfc\n", keys = Keys.join(", ");
        row("import game.sfc head.csv", 1, {}, "head.csv:1: expected a header row naming " + keys +
            ", separated by commas, semicolons or tabs.\nhead.csv" + nothing);
        row("import game.sfc obj.json", 1, {}, "obj.json: expected a JSON array of objects with the keys " + keys +
            ", as export --format json writes.\nobj.json" + nothing);
        const QString wisdom = "girl.json: entry %1 (girl level 4): wisdom \"true\" is not a number from 0 to 255\n";
        row("import game.sfc girl.json", 1, {}, wisdom.arg(1) + wisdom.arg(2) +
            "girl.json: entry 2 (girl level 4): Girl level 4 is already given in entry 1\n"
            "girl.json: 3 errors; nothing written to game.sfc\n");
        QString many;
        for (int line = 2; line <= 21; ++line)
            many += QString("many.csv:%1: unknown character \"wizard%2\"...; expected hero, sprite or girl\n")
                        .arg(line).arg(QString(34, 'x'));
        row("import game.sfc many.csv", 1, {}, many +
            "... and 5 more\nmany.csv: 25 errors; nothing written to game.sfc\n");
        row("import game.sfc 1MiB.csv", 0, "0 records changed.\n");
        row("import game.sfc big.csv", 1, {}, "big.csv: is larger than 1 MiB, far more than level records take (an "
            "export of all 297 is about 10 KB); check that it is the file you meant\n");
        row("import game.sfc bad.csv", 1, {}, "bad.csv:298: level \"100\" is not a whole number from 1 to 99\n"
            "bad.csv:299: has 1 field; the header has 9\nbad.csv: 2 errors; nothing written to game.sfc\n");
        row("import game.sfc deep.json", 1, {}, "deep.json: entry 1: nested more than 3 deep; an export holds numbers, "
            "text and null in its objects\ndeep.json" + nothing);
        row("import game.sfc twice.json", 1, {}, "twice.json: entry 1: has the key \"hp\" twice\ntwice.json" + nothing);
        row("import game.sfc zero.json", 1, {}, "zero.json:1: malformed JSON: a NUL byte, which JSON text never "
            "holds\nzero.json" + nothing);
        row("import game.sfc loop", 1, {}, "loop: Too many levels of symbolic links\n", {}, {},
            "import from a loop" + noLinks);
        row("--wait 0 import game.sfc fifo", 1, {}, "fifo:1: expected a header row naming " + keys +
            ", separated by commas, semicolons or tabs.\nfifo" + nothing, {}, {}, "locked import, fifo fed");
        const QByteArray fixed = withChecksum(b_);
        // HP 999 and every other stat 99 ('c'), the Hero's MP byte 0, in the tables of `who`.
        const auto maxed = [&](const QList<int>& who) {
            QByteArray image = g;
            for (int r = 0; r < 297; ++r) {
                if (who.contains(r / 99)) {
                    image.replace(Bases[r / 99] + 8 * (r % 99), 8, r < 99 ? "\xE7\3\0ccccc" : "\xE7\3cccccc", 8);
                }
            }
            return image;
        };
        for (const QList<int>& who : QList<QList<int>>{{0}, {1}, {2}, {0, 1, 2}}) {
            const QString target = who.size() == 3 ? "all" : Names[who[0]];
            row("max game.sfc " + target, 0,
                (who.size() == 3 ? "Hero, Sprite and Girl: all 297" : target + ": all 99") +
                " levels maximized.\n", {}, {}, maxed(who));
        }
        // Killed, failing or moved away while it writes: every record old or new, and the report says which.
        const QString moved = "game.sfc was moved, replaced or deleted ";
        row("max game.sfc all", -9, {}, {}, {}, maxed({0}), "pwrite 100 kill|max killed");
        row("max game.sfc all", 1, {}, moved + "since it was opened. Open it again.\ngame.sfc: Hero levels 1 to 99 "
            "reached the file whole. The other levels were not written.\n", {}, maxed({0}), "pwrite 99 rename "
            "game.sfc moved.sfc|max moved");
        row("max game.sfc sprite", 1, {}, moved + "while it was written.\ngame.sfc: The new levels are in a file that "
            "is no longer at game.sfc; the file now there, if any, is unchanged.\n", {}, maxed({1}),
            "fsync 1 rename game.sfc moved.sfc|max moved at the end");
        row("max game.sfc all", 1, {}, "Cannot flush \"game.sfc\" to disk: Input/output error.\ngame.sfc: The new "
            "levels are in the file, but the system could not confirm that they reached the disk.\n", {},
            maxed({0, 1, 2}), "fsync 1 EIO|max flush fails");
        row("import game.sfc hero.json", 1, {}, "hero.json: entry 4 (hero level 4): Hero level 4: could not be "
            "written\nCannot write \"game.sfc\": No space left on device.\ngame.sfc: Level 4 of the Hero is "
            "incomplete: its HP reached the file; the other fields kept their old values. Import the file again "
            "once the cause is mended.\n", {}, QByteArray(hero).replace(Bases[0] + 27, 5, g.mid(Bases[0] + 27, 5)),
            "pwrite 1 short3|import short write");
        row("check game.sfc --fix-checksum", 1, checkText(b_), moved + "while it was written.\ngame.sfc: The checksum "
            "is in a file that is no longer at game.sfc; the file now there, if any, is unchanged.\n", b_, fixed,
            "fsync 1 rename game.sfc moved.sfc|fix moved");
        row("diff ro.sfc b.sfc --ips out", 0, changes(g, b_), {}, {}, patch + "EOF");
        row("diff game.sfc b.sfc --ips out", 1, {}, tooLarge, {}, {}, "full diff");
        row("check ro.sfc", 0, checkText(g));
        row("check game.sfc", 0, checkText(b_), {}, b_, {}, "check broken");
        row("check game.sfc", 0, checkText(shortImage), {}, shortImage, {}, "check short");
        row("check game.sfc --fix-checksum", 0, checkText(b_) +
            QString::asprintf("Checksum fixed: 0x%04X, complement 0x%04X written "
            "at 0xFFDC.\n", wordAt(fixed, 0xFFDE), wordAt(fixed, 0xFFDC)), {}, b_, fixed);
        row("check game.sfc --fix-checksum", 0, checkText(g) + "The checksum is valid already; nothing written.\n",
            {}, {}, {}, "fix valid");
        const QString usage = "\nRun with --help for more information.\n";
        row("max game.sfc everyone", 2, {}, "CHARACTER: everyone not in {hero,sprite,girl,all}" + usage);
        for (const QString seconds : {"nan", "abc"})
            row("--wait " + seconds + " max game.sfc hero", 2, {}, "--wait: a number of seconds from 0 to 3600" +
                usage);
        row("show ", 2, {}, "IMAGE: the file name is empty" + usage);
        row("export game.sfc -o ", 2, {}, "--output: the file name is empty" + usage);
        row("diff game.sfc b.sfc --ips ", 2, {}, "--ips: the file name is empty" + usage);
        row("frob game.sfc", 2, {}, "frob: not a subcommand; expected show, export, import, max, diff or check" +
            usage);
    }

    // Rows named "locked ..." run while the test holds the writer's lock on game.sfc, "full ..." with no room
    // for a file, "owned ..." with "out" owned by nobody, "... fed" with head.csv written into the FIFO.
    void commands() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, before);
        QFETCH(QStringList, result);
        const QString tag = QTest::currentDataTag();
        if (result[2].contains("ro.sfc") && !readOnly_) QSKIP("cannot make a file read-only here");
        QFile image("game.sfc");
        QVERIFY(writeFile("game.sfc", before) && writeFile("out", "old"));
        if (tag.startsWith("locked")) QVERIFY(lockImage(image));
        if (tag.startsWith("owned") && ::chown("out", 65534, 65534) != 0) QSKIP("cannot give a file away here");
        if (tag.contains('|') && Windows) QSKIP("the failing disk is a Linux library in front of the C library");
        if (tag.contains("Linux only: ") && Windows) QSKIP(qPrintable(tag.section("Linux only: ", 1).chopped(1)));
        args.prepend(Program);
        if (Windows) args.prepend("wine");
        if (tag.startsWith("full"))
            args = QStringList{"sh", "-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\" \"$@\""} + args;
        if (tag.endsWith("fed"))
            args = QStringList{"sh", "-c", "timeout 9 sh -c 'cat head.csv >fifo' & exec \"$0\" \"$@\""} + args;
        QProcess process;
        if (tag.contains('|')) {  // "FAULT|name": see fault_shim.cpp
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("LD_PRELOAD", THORNWAKE_FAULT_SHIM);
            environment.insert("THORNWAKE_FAULT", tag.section('|', 0, 0));
            process.setProcessEnvironment(environment);
        }
        process.start(args.takeFirst(), args);
        QVERIFY(process.waitForFinished(30000));
        const bool killed = process.exitStatus() == QProcess::CrashExit;
        const QStringList got{killed ? "killed" : QString::number(process.exitCode()),
                              process.readAllStandardOutput(), process.readAllStandardError()};
        QCOMPARE(got, result);
        QFile::rename("moved.sfc", "game.sfc");  // the image another program moved away, with what reached it
        QTEST(readFile(args.contains("out") ? "out" : "game.sfc"), "after");
        if (tag.startsWith("owned")) QCOMPARE(QFileInfo("out").ownerId() + QFileInfo("out").groupId(), 2 * 65534u);
        QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), entries_);
    }

    // A record never starts at 0x454F46, which readers take for the end marker "EOF": it starts one byte
    // earlier, with that byte of the new image, also where it lies before the range compared.
    void ipsRecordsNeverStartAtEof() {
        std::vector<std::uint8_t> before(0x454F50, 3), after = before;
        after[0x454F45] = 5;
        after[0x454F46] = 7;
        const std::vector<std::uint8_t> patch{'P', 'A', 'T', 'C', 'H', 0x45, 0x4F, 0x45, 0, 2, 5, 7, 'E', 'O', 'F'};
        QCOMPARE(thornwake::cli::MakeIpsPatch(before, after, 0x454F46, 0x454F50), patch);
    }
};

QTEST_GUILESS_MAIN(LevelsCliTest)
#include "tst_levels_cli.moc"
