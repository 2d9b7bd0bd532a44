// thornwake-levels run as a separate process on images in a scratch folder.
// Expected bytes come from the test's own reading of the image, never from
// the code under test.

#include <QtTest>

#include "sample_image.h"

namespace {

// Where the game keeps each table, as documented for modders.
constexpr int HeroBase = 0x104210;
constexpr int GirlBase = 0x104528;
constexpr int SpriteBase = 0x104840;
constexpr int TablesEnd = 0x104B58;
const QString Header = QStringLiteral("character,level,hp,mp,strength,agility,constitution,intelligence,wisdom");

struct Run {
    int exitCode;
    QString out, err;
    QStringList all() const { return {QString::number(exitCode), out, err}; }
};

Run run(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(THORNWAKE_LEVELS_EXE), args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        return {-1, {}, QStringLiteral("did not finish")};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

int byteAt(const QByteArray& image, int offset) { return quint8(image[offset]); }
int wordAt(const QByteArray& image, int offset) { return byteAt(image, offset) | byteAt(image, offset + 1) << 8; }

int baseOf(const QString& character) {
    return character == "hero" ? HeroBase : character == "girl" ? GirlBase : SpriteBase;
}

// The CSV row an export must give for one record.
QString expectedRow(const QByteArray& image, const QString& character, int level) {
    const int at = baseOf(character) + 8 * (level - 1);
    QStringList fields{character, QString::number(level), QString::number(qint16(wordAt(image, at))),
                       character == "hero" ? QString() : QString::number(byteAt(image, at + 2))};
    for (int i = 3; i < 8; ++i) fields << QString::number(byteAt(image, at + i));
    return fields.join(',');
}

// The image with the checksum and complement words the console's boot code
// and emulators expect.
QByteArray withChecksum(QByteArray image) {
    image.replace(0xFFDC, 4, QByteArray("\xFF\xFF\x00\x00", 4));
    quint32 sum = 0;
    for (char c : image) sum += quint8(c);
    const char words[4] = {char(~sum & 0xFF), char(~sum >> 8 & 0xFF), char(sum & 0xFF), char(sum >> 8 & 0xFF)};
    return image.replace(0xFFDC, 4, QByteArray(words, 4));
}

// A minimal IPS reader: records of offset (24-bit) and size (16-bit), big-endian.
QByteArray applyIps(QByteArray target, const QByteArray& patch) {
    if (!patch.startsWith("PATCH") || !patch.endsWith("EOF")) return {};
    int at = 5;
    while (at + 3 <= patch.size() - 3) {
        const int offset = byteAt(patch, at) << 16 | byteAt(patch, at + 1) << 8 | byteAt(patch, at + 2);
        const int size = byteAt(patch, at + 3) << 8 | byteAt(patch, at + 4);
        if (size == 0 || at + 5 + size > patch.size() - 3) return {};  // no RLE is ever written
        target.replace(offset, size, patch.mid(at + 5, size));
        at += 5 + size;
    }
    return at == patch.size() - 3 ? target : QByteArray();
}

}  // namespace

class LevelsCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray sample_;
    QString image_;

    QString path(const QString& name) const { return dir_.filePath(name); }

    // A command that fails: its exit code, nothing on standard output and the
    // message `err`, or some message when none is given.
    static void expectFailure(const QStringList& args, int exitCode, const QString& err = {}) {
        const Run result = run(args);
        QCOMPARE(result.all(), (QStringList{QString::number(exitCode), {}, err.isEmpty() ? result.err : err}));
        QVERIFY2(!result.err.isEmpty(), qPrintable(args.join(' ')));
    }

    // An import refused whole: every error named, nothing written.
    void expectImportRefused(const QByteArray& csvText, const QStringList& errors) {
        const QString csv = path("edit.csv");
        writeFile(csv, csvText);
        QString expected;
        for (const QString& error : errors) expected += csv + ":" + error + "\n";
        expected += csv + QStringLiteral(": %1 error%2; nothing written to %3\n")
                              .arg(errors.size()).arg(errors.size() == 1 ? "" : "s", image_);
        expectFailure({"import", image_, csv}, 1, expected);
        QCOMPARE(readFile(image_), sample_);
    }

private slots:
    void init() {
        const auto bytes = thornwake::MakeSampleImage();
        sample_ = QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
        image_ = path("game.sfc");
        writeFile(image_, sample_);
    }

    // Export lists every record as stored; importing it back changes nothing
    // but the stray bytes in the Hero's MP slots, which become 0 as in the editor.
    void exportThenImportRestoresTheImage() {
        const QString csv = path("levels.csv");
        QCOMPARE(run({"export", image_, "-o", csv}).exitCode, 0);
        QStringList expectedLines{Header};
        for (const QString character : {"hero", "sprite", "girl"}) {
            for (int level = 1; level <= 99; ++level) expectedLines << expectedRow(sample_, character, level);
        }
        QCOMPARE(QString::fromUtf8(readFile(csv)).split('\n'), expectedLines << QString());

        const Run json = run({"export", image_, "--format", "json"});
        QStringList jsonLines{Header};
        for (const QJsonValue& row : QJsonDocument::fromJson(json.out.toUtf8()).array()) {
            QStringList fields{row["character"].toString()};
            for (const QString& key : Header.split(',').mid(1))
                fields << (row[key].isNull() ? QString() : QString::number(row[key].toInt()));
            jsonLines << fields.join(',');
        }
        QCOMPARE(jsonLines << QString(), expectedLines);

        QByteArray expected = sample_;
        QString dryRun;
        for (int level = 1; level <= 99; ++level) {
            const int mp = HeroBase + 8 * (level - 1) + 2;
            if (expected[mp] == 0) continue;
            dryRun += QStringLiteral("Hero level %1: MP %2 -> 0\n").arg(level).arg(byteAt(sample_, mp));
            expected[mp] = 0;
        }
        const QString strayBytes = QString::number(dryRun.count('\n'));
        QVERIFY(dryRun.count('\n') > 1);
        QCOMPARE(run({"import", image_, csv, "--dry-run"}).all(),
                 (QStringList{"0", dryRun + strayBytes + " records would change; nothing written.\n", ""}));
        QCOMPARE(readFile(image_), sample_);

        QCOMPARE(run({"import", image_, csv}).all(), (QStringList{"0", strayBytes + " records changed.\n", ""}));
        QCOMPARE(readFile(image_), expected);
    }

    // Quotes, CRLF, a byte order mark, columns in another order, blank lines
    // and a row of empty cells at the end; the named records at the tables' edges.
    void importWritesOnlyTheNamedRecords() {
        writeFile(path("edit.csv"),
                  "\xEF\xBB\xBFlevel,character,hp,mp,strength,agility,constitution,intelligence,wisdom\r\n"
                  "\"1\",\"Girl\",\"-1\",7,1,2,3,4,5\r\n"
                  "99,sprite,\"2.5\",0,255,0,0,0,9\r\n"
                  "  50 ,hero,1000,\"\",9,9,9,9,9\r\n"
                  "\r\n,,,,,,,,\r\n\r\n");
        QCOMPARE(run({"import", image_, path("edit.csv")}).all(), (QStringList{"0", "3 records changed.\n", ""}));

        QByteArray expected = sample_;
        expected.replace(GirlBase, 8, QByteArray("\xFF\xFF\x07\x01\x02\x03\x04\x05", 8));
        expected.replace(SpriteBase + 8 * 98, 8, QByteArray("\x02\x00\x00\xFF\x00\x00\x00\x09", 8));
        expected.replace(HeroBase + 8 * 49, 8, QByteArray("\xE8\x03\x00\x09\x09\x09\x09\x09", 8));
        QCOMPARE(readFile(image_), expected);
    }

    // Each bad row is named by the line it starts on, also after a quoted
    // field that spans lines, the first row and a last one without a line end.
    void badRowsWriteNothing() {
        const QList<QPair<QByteArray, QString>> rows{
            {"girl,100,1,1,1,1,1,1,1", "level \"100\" is not a whole number from 1 to 99"},
            {"sprite,7,100,20,1,2,3,4,5", {}},
            {"\"wiz\nard\",1,1,1,1,1,1,1,1", "unknown character \"wiz\\x0Aard\"; expected hero, sprite or girl"},
            {"girl,0,1,1,1,1,1,1,1", "level \"0\" is not a whole number from 1 to 99"},
            {"girl,1,32768,1,1,1,1,1,1", "hp \"32768\" is not a number from -32768 to 32767"},
            {"hero,1,1,5,1,1,1,1,1", "the Hero has no MP: mp must be empty or 0, not \"5\""},
            {"sprite,8,1,,1,1,1,1,1", "mp \"\" is not a number from 0 to 255"},
            {"Sprite,7,1,1,1,1,1,1,1", "Sprite level 7 is already given on line 3"},
            {"girl,1,1,1,1,1,1,1", "has 8 fields; the header has 9"},
            {"girl,2,1,1,1,1,1,1,256", "wisdom \"256\" is not a number from 0 to 255"},
        };
        QByteArray csv = Header.toUtf8();
        QStringList errors;
        int line = 2;
        for (const auto& [row, message] : rows) {
            csv += "\r\n" + row;
            if (!message.isEmpty()) errors << QStringLiteral("%1: %2").arg(line).arg(message);
            line += 1 + row.count('\n');
        }
        expectImportRefused(csv, errors);
        expectImportRefused((Header + "\ngirl,1,\"1,1,1,1,1,1,1\n").toUtf8(),
                            {"2: malformed CSV: a quoted field is not closed"});
    }

    void maxWritesTheEditorsBytes() {
        for (const QString target : {"hero", "sprite", "girl", "all"}) {
            writeFile(image_, sample_);
            QCOMPARE(run({"max", image_, target}).exitCode, 0);
            QByteArray expected = sample_;
            for (const QString character : {"hero", "sprite", "girl"}) {
                if (target != "all" && target != character) continue;
                QByteArray record("\xE7\x03\x63\x63\x63\x63\x63\x63", 8);  // HP 999, the rest 99
                if (character == "hero") record[2] = 0;  // no MP
                for (int level = 0; level < 99; ++level) expected.replace(baseOf(character) + 8 * level, 8, record);
            }
            QVERIFY2(readFile(image_) == expected, qPrintable(target));
        }
    }

    void diffAndPatchTurnAIntoB() {
        QCOMPARE(run({"diff", image_, image_, "--ips", path("same.ips")}).all(), (QStringList{"0", "", ""}));
        QCOMPARE(readFile(path("same.ips")), QByteArray("PATCHEOF"));

        QByteArray changed = sample_;
        changed.replace(HeroBase, 2, QByteArray("\xFE\xFF", 2));  // HP -2
        changed[HeroBase + 7] = char(byteAt(changed, HeroBase + 7) ^ 0x40);
        const int heroMP = HeroBase + 8 * 3 + 2;  // a stray byte in the sample
        changed[heroMP] = 0;
        changed[GirlBase + 8 + 3] = char(byteAt(changed, GirlBase + 8 + 3) + 1);
        changed[TablesEnd - 1] = char(0xFF);  // the last Sprite byte
        changed[0x1000] = char(byteAt(changed, 0x1000) ^ 0xFF);  // not a level table byte
        writeFile(path("b.sfc"), changed);

        const QString changes = QString::asprintf(
            "Hero level 1: HP %d -> -2, Wisdom %d -> %d\nHero level 4: MP %d -> 0\n"
            "Sprite level 99: Wisdom %d -> 255\nGirl level 2: Strength %d -> %d\n",
            int(qint16(wordAt(sample_, HeroBase))), byteAt(sample_, HeroBase + 7), byteAt(changed, HeroBase + 7),
            byteAt(sample_, heroMP), byteAt(sample_, TablesEnd - 1), byteAt(sample_, GirlBase + 11),
            byteAt(changed, GirlBase + 11));
        const Run diff = run({"diff", image_, path("b.sfc"), "--ips", path("a-to-b.ips")});
        QCOMPARE(diff.all(), (QStringList{"0", changes, ""}));
        changed[0x1000] = sample_[0x1000];  // the patch covers the level tables only
        QCOMPARE(applyIps(sample_, readFile(path("a-to-b.ips"))), changed);
    }

    void checkAndFixTheChecksum() {
        const auto checksumLine = [](const QByteArray& image, bool valid) {
            const int stored = wordAt(image, 0xFFDE), complement = wordAt(image, 0xFFDC);
            const int sum = wordAt(withChecksum(image), 0xFFDE);
            return QString::asprintf("Checksum: 0x%04X, complement 0x%04X: ", stored, complement) +
                   (valid ? QString("valid\n") : QString::asprintf("invalid, the image sums to 0x%04X\n", sum));
        };
        const QString header = "Size: 2097152 bytes, accepted by the size check\nTitle: \"THORNWAKE\"\n"
                               "Map mode: 0x31 (HiROM, FastROM)\nROM size: 0x0B (2 MiB)\n";
        QCOMPARE(run({"check", image_}).all(), (QStringList{"0", header + checksumLine(sample_, true), ""}));

        QCOMPARE(run({"max", image_, "sprite"}).exitCode, 0);
        const QByteArray edited = readFile(image_);
        QVERIFY(run({"check", image_}).out.endsWith(checksumLine(edited, false)));

        QCOMPARE(run({"check", image_, "--fix-checksum"}).exitCode, 0);
        QCOMPARE(readFile(image_), withChecksum(edited));
        QVERIFY(run({"check", image_}).out.endsWith(checksumLine(withChecksum(edited), true)));
    }

    // Every command applies the editor's size check and needs the records it
    // reads inside the image before it writes anything; none creates a missing
    // image: the editor's file layer would, a batch tool must not.
    void unusableImagesAreRefusedUntouched() {
        const QString headered = path("headered.sfc");
        const QString missing = path("typo.sfc");
        const QString shortImage = path("short.sfc");
        const QByteArray head = sample_.left(GirlBase + 7);  // the Girl's first record lacks one byte
        writeFile(headered, QByteArray(2097664, '\0'));
        writeFile(shortImage, head);
        writeFile(path("edit.csv"), (Header + "\nhero,1,5,,1,1,1,1,1\ngirl,1,5,1,1,1,1,1,1\n").toUtf8());
        QCOMPARE(run({"show", shortImage, "--character", "hero"}).exitCode, 0);
        const QList<QPair<QString, QString>> refusals{
            {headered, ": This ROM has a 200 byte header that must be removed before using this program.\n"},
            {missing, ": no such file\n"},
            {shortImage, QStringLiteral(": Girl level 1 (bytes 0x104528 to 0x10452F) lies beyond the end of the image, "
                                        "which has %1 bytes\n").arg(head.size())}};
        for (const auto& [image, message] : refusals) {
            for (const QStringList& args :
                 QList<QStringList>{{"show", image}, {"export", image}, {"max", image, "all"}, {"diff", image_, image},
                                    {"import", image, path("edit.csv")}, {"check", image, "--fix-checksum"}}) {
                if (image != shortImage || args[0] != "check") expectFailure(args, 1, image + message);
            }
        }
        QCOMPARE(readFile(headered), QByteArray(2097664, '\0'));
        QCOMPARE(readFile(shortImage), head);
        QVERIFY(!QFile::exists(missing));
    }

    void usageAndFileErrors() {
        for (const QStringList& args :
             QList<QStringList>{{}, {"edit", image_}, {"show"}, {"import", image_}, {"max", image_, "everyone"},
                                {"show", image_, "--character", "wizard"}, {"export", image_, "--format", "xml"}}) {
            expectFailure(args, 2);
        }
        expectFailure({"import", image_, path("missing")}, 1);
        expectFailure({"export", image_, "-o", image_}, 1);
        const Run help = run({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith("Batch work") && help.out.contains("Usage:") && help.err.isEmpty());
        QCOMPARE(readFile(image_), sample_);
        QVERIFY(!QFile::exists(path("missing")));
    }
};

QTEST_GUILESS_MAIN(LevelsCliTest)
#include "tst_levels_cli.moc"
