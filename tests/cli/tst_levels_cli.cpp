// thornwake-levels run as a separate process on images in a scratch folder.
// Expected bytes come from the test's own reading of the image, never from
// the code under test.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "sample_image.h"

namespace {

// Where the game keeps each table, as documented for modders.
constexpr int HeroBase = 0x104210;
constexpr int GirlBase = 0x104528;
constexpr int SpriteBase = 0x104840;
constexpr int TablesEnd = 0x104B58;
const char* const RefusedMessage =
    ": This ROM has a 200 byte header that must be removed before using this program.\n";

struct Run {
    int exitCode;
    QString out;
    QString err;
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
int hpAt(const QByteArray& image, int offset) { return qint16(byteAt(image, offset) | byteAt(image, offset + 1) << 8); }

int baseOf(const QString& character) {
    return character == "hero" ? HeroBase : character == "girl" ? GirlBase : SpriteBase;
}

// The CSV row an export must give for one record.
QString expectedRow(const QByteArray& image, const QString& character, int level) {
    const int at = baseOf(character) + 8 * (level - 1);
    QStringList fields{character, QString::number(level), QString::number(hpAt(image, at)),
                       character == "hero" ? QString() : QString::number(byteAt(image, at + 2))};
    for (int i = 3; i < 8; ++i) fields << QString::number(byteAt(image, at + i));
    return fields.join(',');
}

// The checksum word as the console's boot code and emulators compute it.
quint16 checksumOf(QByteArray image) {
    image.replace(0xFFDC, 4, QByteArray("\xFF\xFF\x00\x00", 4));
    quint32 sum = 0;
    for (char c : image) sum += quint8(c);
    return quint16(sum);
}

QString hex4(int value) { return QStringLiteral("0x%1").arg(value, 4, 16, QChar('0')).toUpper().replace("0X", "0x"); }

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

const QString Header = QStringLiteral("character,level,hp,mp,strength,agility,constitution,intelligence,wisdom");

}  // namespace

class LevelsCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray sample_;
    QString image_;

    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void init() {
        const auto bytes = thornwake::MakeSampleImage();
        sample_ = QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
        image_ = path("game.sfc");
        writeFile(image_, sample_);
    }

    void exportListsEveryRecordAsStored() {
        const Run csv = run({"export", image_, "-o", path("levels.csv")});
        QCOMPARE(csv.exitCode, 0);
        QStringList lines = QString::fromUtf8(readFile(path("levels.csv"))).split('\n');
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.size(), 1 + 297);
        QCOMPARE(lines[0], Header);
        int line = 1;
        for (const QString character : {"hero", "sprite", "girl"}) {
            for (int level = 1; level <= 99; ++level) QCOMPARE(lines[line++], expectedRow(sample_, character, level));
        }

        const Run json = run({"export", image_, "--format", "json"});
        QCOMPARE(json.exitCode, 0);
        const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(rows.size(), 297);
        for (const QJsonValue& value : rows) {
            const QJsonObject row = value.toObject();
            QStringList fields{row["character"].toString(), QString::number(row["level"].toInt())};
            for (const char* key : {"hp", "mp", "strength", "agility", "constitution", "intelligence", "wisdom"}) {
                fields << (row[key].isNull() ? QString() : QString::number(row[key].toInt()));
            }
            QCOMPARE(fields.join(','), expectedRow(sample_, fields[0], fields[1].toInt()));
        }
    }

    // The Hero has no MP: stray bytes in his MP slot become 0, as in the editor.
    void exportThenImportRestoresTheImage() {
        QCOMPARE(run({"export", image_, "-o", path("levels.csv")}).exitCode, 0);
        QByteArray expected = sample_;
        int strayBytes = 0;
        for (int level = 0; level < 99; ++level) {
            const int mp = HeroBase + 8 * level + 2;
            strayBytes += expected[mp] != 0;
            expected[mp] = 0;
        }
        QVERIFY(strayBytes > 0);

        const Run first = run({"import", image_, path("levels.csv")});
        QCOMPARE(first.err, QString());
        QCOMPARE(first.out, QStringLiteral("%1 records changed.\n").arg(strayBytes));
        QCOMPARE(readFile(image_), expected);

        const Run again = run({"import", image_, path("levels.csv")});
        QCOMPARE(again.out, QStringLiteral("0 records changed.\n"));
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
        const Run result = run({"import", image_, path("edit.csv")});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QStringLiteral("3 records changed.\n"));

        QByteArray expected = sample_;
        expected.replace(GirlBase, 8, QByteArray("\xFF\xFF\x07\x01\x02\x03\x04\x05", 8));
        expected.replace(SpriteBase + 8 * 98, 8, QByteArray("\x02\x00\x00\xFF\x00\x00\x00\x09", 8));
        expected.replace(HeroBase + 8 * 49, 8, QByteArray("\xE8\x03\x00\x09\x09\x09\x09\x09", 8));
        QCOMPARE(readFile(image_), expected);
    }

    void dryRunWritesNothing() {
        const int at = HeroBase + 8 * 4;
        writeFile(path("edit.csv"), (Header + "\nhero,5,-2," + QString() + ",%1,%2,%3,%4,77\n")
                                        .arg(byteAt(sample_, at + 3))
                                        .arg(byteAt(sample_, at + 4))
                                        .arg(byteAt(sample_, at + 5))
                                        .arg(byteAt(sample_, at + 6))
                                        .toUtf8());
        const Run result = run({"import", image_, path("edit.csv"), "--dry-run"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QStringLiteral("Hero level 5: HP %1 -> -2, Wisdom %2 -> 77\n"
                                            "1 record would change; nothing written.\n")
                                 .arg(hpAt(sample_, at))
                                 .arg(byteAt(sample_, at + 7)));
        QCOMPARE(readFile(image_), sample_);
    }

    void badRowWritesNothing_data() {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("badLine");
        QTest::addColumn<QString>("message");
        const QString good = "sprite,7,100,20,1,2,3,4,5\n";
        QTest::newRow("unknown character") << good + "wizard,1,1,1,1,1,1,1,1\n" << 3
                                           << "unknown character \"wizard\"; expected hero, sprite or girl";
        QTest::newRow("level 0") << good + "girl,0,1,1,1,1,1,1,1\n" << 3
                                 << "level \"0\" is not a whole number from 1 to 99";
        QTest::newRow("level 100") << "girl,100,1,1,1,1,1,1,1\n" + good << 2
                                   << "level \"100\" is not a whole number from 1 to 99";
        QTest::newRow("hp too big") << good + "girl,1,32768,1,1,1,1,1,1" << 3
                                    << "hp \"32768\" is not a number from -32768 to 32767";
        QTest::newRow("stat too big") << good + "girl,1,1,1,1,1,1,1,256\n" << 3
                                      << "wisdom \"256\" is not a number from 0 to 255";
        QTest::newRow("Hero MP") << good + "hero,1,1,5,1,1,1,1,1\n" << 3
                                 << "the Hero has no MP: mp must be empty or 0, not \"5\"";
        QTest::newRow("no Sprite MP") << good + "sprite,8,1,,1,1,1,1,1\n" << 3
                                      << "mp \"\" is not a number from 0 to 255";
        QTest::newRow("twice") << good + "girl,2,1,1,1,1,1,1,1\nSprite,7,1,1,1,1,1,1,1\n" << 4
                               << "Sprite level 7 is already given on line 2";
        QTest::newRow("short row") << good + "girl,1,1,1,1,1,1,1\n" << 3 << "has 8 fields; the header has 9";
        QTest::newRow("open quote") << good + "girl,1,\"1,1,1,1,1,1,1\n" << 3
                                    << "malformed CSV: a quoted field is not closed";
    }

    void badRowWritesNothing() {
        QFETCH(QString, rows);
        QFETCH(int, badLine);
        QFETCH(QString, message);
        const QString csv = path("edit.csv");
        writeFile(csv, (Header + "\n" + rows).toUtf8());
        const Run result = run({"import", image_, csv});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err, QStringLiteral("%1:%2: %3\n%1: 1 error; nothing written to %4\n")
                                 .arg(csv)
                                 .arg(badLine)
                                 .arg(message, image_));
        QCOMPARE(readFile(image_), sample_);
    }

    // Every bad row is named, by the line it starts on, also after a quoted
    // field that spans lines.
    void everyBadRowIsNamed() {
        const QString csv = path("edit.csv");
        writeFile(csv, (Header + "\r\n\"wiz\nard\",1,1,1,1,1,1,1,1\r\nhero,2,1,,1,1,1,1,1\r\n"
                                 "hero,0,1,,1,1,1,1,1\r\n").toUtf8());
        const Run result = run({"import", image_, csv});
        QCOMPARE(result.exitCode, 1);
        const QStringList lines = result.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(csv + ":2: unknown character \"wiz\\x0Aard\""), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(csv + ":5: level \"0\""), qPrintable(lines[1]));
        QCOMPARE(lines[2], csv + ": 2 errors; nothing written to " + image_);
        QCOMPARE(readFile(image_), sample_);
    }

    void maxWritesTheEditorsBytes_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QList<int>>("tables");
        QTest::newRow("hero") << "hero" << QList<int>{HeroBase};
        QTest::newRow("sprite") << "sprite" << QList<int>{SpriteBase};
        QTest::newRow("girl") << "girl" << QList<int>{GirlBase};
        QTest::newRow("all") << "all" << QList<int>{HeroBase, GirlBase, SpriteBase};
    }

    void maxWritesTheEditorsBytes() {
        QFETCH(QString, target);
        QFETCH(QList<int>, tables);
        const Run result = run({"max", image_, target});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        QByteArray expected = sample_;
        for (int base : tables) {
            const QByteArray record = base == HeroBase ? QByteArray("\xE7\x03\x00\x63\x63\x63\x63\x63", 8)
                                                       : QByteArray("\xE7\x03\x63\x63\x63\x63\x63\x63", 8);
            for (int level = 0; level < 99; ++level) expected.replace(base + 8 * level, 8, record);
        }
        QCOMPARE(readFile(image_), expected);
    }

    void diffOfAnImageWithItselfIsEmpty() {
        const Run result = run({"diff", image_, image_, "--ips", path("same.ips")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err, QString());
        QCOMPARE(readFile(path("same.ips")), QByteArray("PATCHEOF"));
    }

    void diffAndPatchTurnAIntoB() {
        QByteArray changed = sample_;
        changed[HeroBase] = char(0x2C);  // HP 300
        changed[HeroBase + 1] = char(0x01);
        const int heroMP = HeroBase + 8 * 3 + 2;
        QVERIFY(changed[heroMP] != 0);
        changed[heroMP] = 0;
        changed[GirlBase + 8 + 3] = char(byteAt(changed, GirlBase + 8 + 3) + 1);
        changed[TablesEnd - 1] = char(0xFF);  // the last Sprite byte
        changed[0x1000] = char(byteAt(changed, 0x1000) ^ 0xFF);  // not a level table byte
        writeFile(path("b.sfc"), changed);

        const Run result = run({"diff", image_, path("b.sfc"), "--ips", path("a-to-b.ips")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QStringLiteral("Hero level 1: HP %1 -> 300\n"
                                            "Hero level 4: MP %2 -> 0\n"
                                            "Sprite level 99: Wisdom %3 -> 255\n"
                                            "Girl level 2: Strength %4 -> %5\n")
                                 .arg(hpAt(sample_, HeroBase))
                                 .arg(byteAt(sample_, heroMP))
                                 .arg(byteAt(sample_, TablesEnd - 1))
                                 .arg(byteAt(sample_, GirlBase + 11))
                                 .arg(byteAt(changed, GirlBase + 11)));

        QByteArray expected = changed;
        expected[0x1000] = sample_[0x1000];
        QCOMPARE(applyIps(sample_, readFile(path("a-to-b.ips"))), expected);
    }

    void checkAndFixTheChecksum() {
        const auto checksumLine = [](const QByteArray& image, bool valid) {
            const int stored = byteAt(image, 0xFFDE) | byteAt(image, 0xFFDF) << 8;
            const int complement = byteAt(image, 0xFFDC) | byteAt(image, 0xFFDD) << 8;
            return QStringLiteral("Checksum: %1, complement %2: ").arg(hex4(stored), hex4(complement)) +
                   (valid ? "valid\n" : QStringLiteral("invalid, the image sums to %1\n").arg(hex4(checksumOf(image))));
        };
        const Run fresh = run({"check", image_});
        QCOMPARE(fresh.exitCode, 0);
        QCOMPARE(fresh.out, QStringLiteral("Size: 2097152 bytes, accepted by the size check\n"
                                           "Title: \"THORNWAKE\"\n"
                                           "Map mode: 0x31 (HiROM, FastROM)\n"
                                           "ROM size: 0x0B (2 MiB)\n") +
                                checksumLine(sample_, true));

        QCOMPARE(run({"max", image_, "sprite"}).exitCode, 0);
        const QByteArray edited = readFile(image_);
        QVERIFY(run({"check", image_}).out.endsWith(checksumLine(edited, false)));

        const Run fix = run({"check", image_, "--fix-checksum"});
        QCOMPARE(fix.exitCode, 0);
        const QByteArray fixed = readFile(image_);
        const quint16 sum = checksumOf(edited);
        QByteArray expected = edited;
        const char checksumBytes[4] = {char(~sum & 0xFF), char(~sum >> 8 & 0xFF), char(sum & 0xFF), char(sum >> 8)};
        expected.replace(0xFFDC, 4, QByteArray(checksumBytes, 4));
        QCOMPARE(fixed, expected);
        QVERIFY(run({"check", image_}).out.endsWith(checksumLine(fixed, true)));
    }

    void sizeCheckRefusesBeforeAnything_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<qint64>("size");
        for (qint64 size : {qint64(2097664), qint64(3146241)}) {
            const QByteArray tag = QByteArray::number(size);
            QTest::newRow("show " + tag) << QStringList{"show"} << size;
            QTest::newRow("export " + tag) << QStringList{"export"} << size;
            QTest::newRow("import " + tag) << QStringList{"import", "@csv"} << size;
            QTest::newRow("max " + tag) << QStringList{"max", "@image", "all"} << size;
            QTest::newRow("diff " + tag) << QStringList{"diff", "@sample"} << size;
            QTest::newRow("check " + tag) << QStringList{"check", "@image", "--fix-checksum"} << size;
        }
    }

    void sizeCheckRefusesBeforeAnything() {
        QFETCH(QStringList, args);
        QFETCH(qint64, size);
        const QString refused = path("refused.sfc");
        writeFile(refused, QByteArray(int(size), '\0'));
        writeFile(path("edit.csv"), (Header + "\nhero,1,1,,1,1,1,1,1\n").toUtf8());
        QStringList command{args.takeFirst(), refused};
        for (const QString& arg : args) {
            command << (arg == "@csv" ? path("edit.csv") : arg == "@sample" ? image_ : arg);
        }
        command.removeAll("@image");
        const Run result = run(command);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err, refused + RefusedMessage);
        QCOMPARE(readFile(refused), QByteArray(int(size), '\0'));
    }

    void sizeLimitsAreExact() {
        for (int size : {2097663, 2097665, 3146240}) {
            writeFile(path("odd.sfc"), QByteArray(size, '\0'));
            const Run result = run({"check", path("odd.sfc")});
            QCOMPARE(result.exitCode, 0);
            QVERIFY(result.out.startsWith(QStringLiteral("Size: %1 bytes, accepted").arg(size)));
        }
    }

    void shortImageNamesTheMissingRecord() {
        const QString shortImage = path("short.sfc");
        const QByteArray head = sample_.left(GirlBase + 7);  // the Girl's first record lacks one byte
        writeFile(shortImage, head);
        QCOMPARE(run({"show", shortImage, "--character", "hero"}).exitCode, 0);
        const QString girlMissing = shortImage + QStringLiteral(": Girl level 1 (bytes 0x104528 to 0x10452F) lies "
                                                                "beyond the end of the image, which has %1 bytes\n")
                                                     .arg(head.size());
        const Run show = run({"show", shortImage, "--character", "girl"});
        QCOMPARE(show.exitCode, 1);
        QCOMPARE(show.err, girlMissing);
        QCOMPARE(run({"max", shortImage, "all"}).err, girlMissing);
        writeFile(path("edit.csv"), (Header + "\nhero,1,5,,1,1,1,1,1\ngirl,1,5,1,1,1,1,1,1\n").toUtf8());
        QCOMPARE(run({"import", shortImage, path("edit.csv")}).err, girlMissing);
        QCOMPARE(readFile(shortImage), head);
    }

    void usageAndFileErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutStart");
        QTest::newRow("nothing") << QStringList{} << 2 << "";
        QTest::newRow("unknown command") << QStringList{"edit", "@image"} << 2 << "";
        QTest::newRow("no image") << QStringList{"show"} << 2 << "";
        QTest::newRow("bad character") << QStringList{"show", "@image", "--character", "wizard"} << 2 << "";
        QTest::newRow("bad max target") << QStringList{"max", "@image", "everyone"} << 2 << "";
        QTest::newRow("bad format") << QStringList{"export", "@image", "--format", "xml"} << 2 << "";
        QTest::newRow("import without csv") << QStringList{"import", "@image"} << 2 << "";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Batch work";
        for (const char* command : {"show", "export", "import", "max", "diff", "check"}) {
            QTest::newRow(command) << QStringList{command, "--help"} << 0 << "";
        }
        QTest::newRow("missing csv") << QStringList{"import", "@image", "@missing"} << 1 << "";
        QTest::newRow("export over the image") << QStringList{"export", "@image", "-o", "@image"} << 1 << "";
    }

    void usageAndFileErrors() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, stdoutStart);
        args.replaceInStrings("@image", image_).replaceInStrings("@missing", path("missing"));
        const Run result = run(args);
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode == 0) {
            QVERIFY(result.out.startsWith(stdoutStart));
            QVERIFY(result.out.contains("Usage:"));
        } else {
            QCOMPARE(result.out, QString());
        }
        QCOMPARE(result.err.isEmpty(), exitCode == 0);
        QCOMPARE(readFile(image_), sample_);
        QVERIFY(!QFile::exists(path("missing")));
    }

    // The editor's file layer would create a missing file; a batch tool must not.
    void missingImageIsNotCreated() {
        const QString missing = path("typo.sfc");
        for (const QStringList& args : {QStringList{"show", missing}, QStringList{"max", missing, "all"},
                                        QStringList{"check", missing, "--fix-checksum"}}) {
            const Run result = run(args);
            QCOMPARE(result.exitCode, 1);
            QCOMPARE(result.err, missing + ": no such file\n");
            QVERIFY(!QFile::exists(missing));
        }
    }
};

QTEST_GUILESS_MAIN(LevelsCliTest)
#include "tst_levels_cli.moc"
