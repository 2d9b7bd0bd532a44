// Curves and pasted blocks, and the Level Table window as a
// user drives it from the main window, offscreen, through the fake desktop.
// The image is read and changed apart from rom/, as another program would.

#include <QChartView>
#include <QtTest>
#include <QtWidgets>
#include <QXYSeries>

#include "failing_disk.h"
#include "fake_desktop.h"
#include "level_edits.h"
#include "main/main_window.h"
#include "sample_image.h"
#include "table/level_table_model.h"

Q_DECLARE_METATYPE(thornwake::Curve)
Q_DECLARE_METATYPE(thornwake::CharacterId)
Q_DECLARE_METATYPE(thornwake::StatField)

namespace thornwake::test {

// The tables lie end to end in this order from 0x104210; the fields in record order.
const QStringList Tables{"Hero", "Girl", "Sprite"}, Stems{"HP", "MP", "STR", "AGI", "CON", "INTL", "WIS"};

// The main window on a sample image and the steps of a user. Steps after
// "table" run inside the Level Table window until "esc" closes it; a step
// starting with "?" notes what the user sees.
struct Session {
    QTemporaryDir folder;
    QFile file{folder.filePath("a.smc")};
    const std::vector<std::uint8_t> made = MakeSampleImage();
    const QByteArray image{reinterpret_cast<const char*>(made.data()), qsizetype(made.size())};
    FakeDesktop desktop;
    Main main{desktop};
    QStringList steps, seen;
    QDialog* table = nullptr;
    QStringList fillAnswer;  // first, last
    RomFile other;  // another program's handle on the image

    Session() {
        file.open(QIODevice::ReadWrite);
        file.write(image);
        file.flush();
        main.writerLockPatience = {};
        desktop.onModal = [this](QDialog& window) {
            if (window.objectName() == "FillDLG") return answerFill(window);
            table = &window;
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            runSteps();
            table = nullptr;
        };
    }
    template <typename T = QWidget> T* find(const QString& name) const {
        return (table ? static_cast<QObject*>(table) : &main)->findChild<T*>(name);
    }
    QTableView* grid() const { return find<QTableView>("LevelGRID"); }
    QModelIndex cell(const QString& level, const QString& column) const {
        return grid()->model()->index(level.toInt() - 1, column.toInt());
    }

    void runSteps() {
        while (!steps.isEmpty() && !QTest::currentTestFailed()) {
            const QString step = steps.takeFirst();
            if (step == "esc") return QTest::keyClick(grid(), Qt::Key_Escape);
            run(step);
        }
    }
    void run(const QString& step) {
        const QStringList w = step.split(' ');
        const QString arg = step.section(' ', 1);
        if (w[0].startsWith('?')) seen << w[0].mid(1) + ": " + see(w[0].mid(1), arg);
        else if (w[0] == "open") {
            if (!arg.isEmpty()) file.resize(arg.toInt(nullptr, 0));
            desktop.fileAnswers << file.fileName();
            find<QAction>("mnuOpen")->trigger();
        }
        else if (w[0] == "tab") find<QTabWidget>("SelectLevelsTAB")->setCurrentIndex(arg.toInt());
        else if (w[0] == "row") find<QListWidget>(w[1] + "LevelLST")->setCurrentRow(w[2].toInt() - 1);
        else if (w[0] == "set") find<QLineEdit>(w[1] + w[2] + "TXT")->setText(w[3]);
        else if (w[0] == "save") QTest::mouseClick(find(arg + "SaveCMD"), Qt::LeftButton);
        else if (w[0] == "table") find<QAction>("mnuLevelTable")->trigger();
        else if (w[0] == "click") {
            grid()->scrollTo(cell(w[1], w[2]));
            QTest::mouseClick(grid()->viewport(), Qt::LeftButton, w.size() > 3 ? Qt::ControlModifier : Qt::NoModifier,
                              grid()->visualRect(cell(w[1], w[2])).center());
        }
        else if (w[0] == "type") {
            for (const QChar c : arg) QTest::keyClicks(QApplication::focusWidget(), c);
        }
        else if (w[0] == "key") {
            for (const QString& keys : w.mid(1)) {
                QTest::keySequence(QApplication::focusWidget(), QKeySequence(keys));
                QCoreApplication::processEvents();  // the grid commits a typed text in a posted call
            }
        }
        else if (w[0] == "clip") QGuiApplication::clipboard()->setText(arg == "huge" ? QString(8 << 20, '\n') : arg);
        else if (w[0] == "fill") {
            fillAnswer = w.mid(1);
            run("key Ctrl+F");
        }
        else if (w[0] == "poke") {  // another program changes a byte
            file.seek(w[1].toInt(nullptr, 0));
            file.putChar(char(w[2].toInt()));
            file.flush();
        }
        else if (w[0] == "fail") {
            flushFails = arg == "flush";
            writesBeforeFailure = flushFails ? -1 : w[1].toInt();
            shortWrite = w.value(2).toInt();
        }
        else if (w[0] == "hold") {  // another program takes the writer's lock
            QVERIFY(other.Open(file.fileName().toStdString()).ok());
            QVERIFY(other.LockForWriting(std::chrono::milliseconds(0)).ok());
        }
        else if (w[0] == "release") {  // while the table waits for the lock
            table->findChild<LevelTableModel*>()->lockPatience = std::chrono::seconds(20);
            QTimer::singleShot(0, [this] {
                run("?status");
                run("?cursor");
                other.Close();
            });
        }
        else if (w[0] == "resize") table->resize(w[1].toInt(), w[2].toInt());
        else QFAIL(qPrintable("unknown step: " + step));
    }

    void answerFill(QDialog& dialog) {
        dialog.findChild<QLineEdit*>("FirstTXT")->setText(fillAnswer.value(0));
        dialog.findChild<QLineEdit*>("LastTXT")->setText(fillAnswer.value(1));
        QStringList points;
        auto* chart = table->findChild<QChartView*>("CurveCHART")->chart();
        for (const QPointF& point : static_cast<QXYSeries*>(chart->series()[1])->points())
            points << QString("%1:%2").arg(point.x()).arg(point.y());
        seen << "preview: " + (points.size() > 9 ? QString("%1 points").arg(points.size()) : points.join(' '));
        dialog.accept();
    }

    QString see(const QString& what, const QString& arg) {
        if (what == "status") return find<QLabel>("StatusLBL")->text().replace(folder.path(), "DIR");
        if (what == "cursor") return QApplication::overrideCursor() ? "busy" : "arrow";
        if (what == "current")
            return QApplication::focusWidget()->objectName() + " at " +
                   grid()->currentIndex().data(Qt::AccessibleTextRole).toString();
        if (what == "chart") return find<QChartView>("CurveCHART")->chart()->title();
        if (what == "size")
            return QString("%1 x %2, at least %3 x %4").arg(table->width()).arg(table->height())
                .arg(table->minimumWidth()).arg(table->minimumHeight());
        QStringList parts;
        for (const char* button : {"Undo", "Redo"})
            if (what == "undo" && find(button + QString("CMD"))->isEnabled()) parts << button;
        for (const QString& stem : Stems)
            if (what == "panel" && find<QLineEdit>(arg + stem + "TXT")) parts << find<QLineEdit>(arg + stem + "TXT")->text();
        return what == "file" ? changes() : parts.join(' ');
    }

    // The fields that differ from the image the test wrote.
    QString changes() {
        file.seek(0);
        const QByteArray now = file.readAll();
        QStringList fields;
        for (int record = 0; record < 3 * 99; ++record) {
            for (int field = 0; field < 7; ++field) {
                const qsizetype at = 0x104210 + 8 * record + field + (field > 0 ? 1 : 0), width = field > 0 ? 1 : 2;
                if (at + width > now.size() || now.mid(at, width) == image.mid(at, width)) continue;
                const int value = field > 0 ? uchar(now[at]) : qFromLittleEndian<qint16>(now.constData() + at);
                fields << QString("%1 %2 %3 %4").arg(Tables[record / 99]).arg(record % 99 + 1).arg(Stems[field]).arg(value);
            }
        }
        return fields.isEmpty() ? "unchanged" : fields.join(", ");
    }
};

class LevelTableTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        QSettings("thornwake", "thornwake-editor").clear();
        writesBeforeFailure = -1;
        shortWrite = 0;
        flushFails = false;
    }

    void curve_data() {
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<QList<int>>("ends");  // first, last, count
        QTest::addColumn<QList<int>>("values");
        QTest::addRow("linear, halves to even") << Curve::Linear << QList{0, 5, 5} << QList{0, 1, 2, 4, 5};
        QTest::addRow("linear down through a negative half") << Curve::Linear << QList{1, -2, 3} << QList{1, 0, -2};
        QTest::addRow("ease in") << Curve::EaseIn << QList{0, 100, 5} << QList{0, 6, 25, 56, 100};
        QTest::addRow("ease out") << Curve::EaseOut << QList{0, 100, 5} << QList{0, 44, 75, 94, 100};
        QTest::addRow("s-curve") << Curve::SCurve << QList{0, 100, 5} << QList{0, 16, 50, 84, 100};
        QTest::addRow("s-curve, the whole HP range") << Curve::SCurve << QList{-32768, 32767, 3}
                << QList{-32768, 0, 32767};
        QTest::addRow("one level") << Curve::EaseOut << QList{7, 9, 1} << QList{7};
    }
    void curve() {
        QFETCH(Curve, curve);
        QFETCH(QList<int>, ends);
        const std::vector<int> made = CurveValues(curve, ends[0], ends[1], ends[2]);
        QTEST(QList<int>(made.begin(), made.end()), "values");
    }

    void block_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<CharacterId>("character");
        QTest::addColumn<int>("level");
        QTest::addColumn<StatField>("field");
        QTest::addColumn<QString>("cells");  // "levelIndex:stem=value ..." or the refusal
        QTest::addRow("one cell") << "42" << CharacterId::Sprite << 11 << StatField::STR << "11:STR=42";
        QTest::addRow("CRLF rows") << "1\t2\r\n-3\t4\r\n" << CharacterId::Girl << 0 << StatField::HP
                << "0:HP=1 0:MP=2 1:HP=-3 1:MP=4";
        QTest::addRow("a header, trailing tabs, empty last lines") << " strength\tAgi\r\n5\t6\t\n7\t\t\n\r\n\n"
                << CharacterId::Girl << 97 << StatField::STR << "97:STR=5 97:AGI=6 98:STR=7";
        QTest::addRow("a header alone") << "HP\tMP" << CharacterId::Girl << 98 << StatField::HP << "";
        QTest::addRow("Hero's empty MP skipped") << "10\t\t5" << CharacterId::Hero << 98 << StatField::HP
                << "98:HP=10 98:STR=5";
        QTest::addRow("Hero's MP refused") << "10\t3" << CharacterId::Hero << 0 << StatField::HP
                << "Level 1 MP: the Hero has no MP.";
        QTest::addRow("past level 99") << "1\n2" << CharacterId::Girl << 98 << StatField::HP
                << "The pasted rows reach past level 99.";
        QTest::addRow("100 rows and a header") << "HP\n" + QString("1\n").repeated(100) << CharacterId::Girl << 0
                << StatField::HP << "The pasted rows reach past level 99.";
        QTest::addRow("longer than any block") << QString("1\n").repeated(22401) << CharacterId::Girl << 0
                << StatField::HP << "The pasted text is longer than the table can take (44800 bytes).";
        QTest::addRow("past Wisdom") << "1\t2" << CharacterId::Girl << 0 << StatField::WIS
                << "The pasted columns reach past Wisdom.";
        QTest::addRow("first bad cell") << "1\t2\n3\tx\n\n256" << CharacterId::Sprite << 4 << StatField::CON
                << "Level 6 Intelligence must be a whole number from 0 to 255.";
    }
    void block() {
        QFETCH(QString, text);
        QFETCH(CharacterId, character);
        QFETCH(int, level);
        QFETCH(StatField, field);
        const auto parsed = ParsePastedBlock(text.toStdString());
        const auto made = CellsOfBlock(parsed ? parsed.value() : TextBlock(), character, level, field);
        QStringList shown;
        for (const CellEdit& cell : made ? made.value() : std::vector<CellEdit>())
            shown << QStringLiteral("%1:%2=%3").arg(cell.levelIndex).arg(InfoOf(cell.field).stem).arg(cell.value);
        QTEST(QString::fromStdString(parsed ? made.message() : parsed.message()) + shown.join(' '), "cells");
    }

    void table_data();
    // Runs the steps and compares everything noted on the way; no message box shows.
    void table() {
        QFETCH(QString, steps);
        Session session;
        session.steps = steps.split("; ");
        session.runSteps();
        QTEST(session.seen, "seen");
        QCOMPARE(session.desktop.messages, QStringList());
    }
};

void LevelTableTest::table_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("seen");
    const QString typed = "open; tab 1; row Sprite 12; table; click 12 2; type 77; key Return; ";
    const QString undone = "Undone: Sprite level 12 Strength set to 77.", set = "Sprite 12 STR 77";
    QTest::addRow("opens where the user is, pastes at the selection's top left")
        << "open; tab 1; row Sprite 20; table; ?current; clip 1\n2\n3; key Shift+Down Shift+Down Ctrl+V; ?status; "
           "?file; key Ctrl+C; ?status; key Up Ctrl+C; click 50 0; key Ctrl+V; ?status; ?file"
        << QStringList{"current: LevelGRID at Sprite level 20 HP", "status: Pasted 3 cells from Sprite level 20 HP.",
                       "file: Sprite 20 HP 1, Sprite 21 HP 2, Sprite 22 HP 3", "status: Copied 3 x 1 cells.",
                       "status: Pasted 1 cell from Sprite level 50 HP.",
                       "file: Sprite 20 HP 1, Sprite 21 HP 2, Sprite 22 HP 3, Sprite 50 HP 2"};
    QTest::addRow("Enter goes down, Tab right")
        << typed + "?current; ?file; type 8; key Tab; ?current; key Tab Tab Tab Tab; ?current; "
                   "key Shift+Tab Shift+Tab; ?current; key Return; ?current; ?file"
        << QStringList{"current: LevelGRID at Sprite level 13 Strength", "file: " + set,
                       "current: LevelGRID at Sprite level 13 Agility", "current: FillCMD at Sprite level 13 Wisdom",
                       "current: LevelGRID at Sprite level 13 Intelligence", "current: LevelGRID at Sprite level 14 Intelligence",
                       "file: " + set + ", Sprite 13 STR 8"};
    QTest::addRow("a bad value, Delete, Ctrl+Y")
        << typed + "click 12 2; type 300; key Return; ?status; key Delete; ?status; key Ctrl+Z Ctrl+Y; ?status; ?file"
        << QStringList{"status: Strength must be a whole number from 0 to 255.",
                       "status: Cells cannot be emptied: type a new value instead.",
                       "status: Redone: Sprite level 12 Strength set to 77.", "file: " + set};
    // The history lasts while the image is open, through closed windows.
    QTest::addRow("undo after reopening")
        << typed + "esc; ?panel Sprite; table; ?undo; key Ctrl+Z; ?status; ?undo; esc; ?file; ?panel Sprite; open; "
           "table; ?undo"
        << QStringList{"panel: 103 21 77 36 21 35 25", "undo: Undo", "status: " + undone, "undo: Redo",
                       "file: unchanged", "panel: 103 21 20 36 21 35 25", "undo: "};
    // Only a panel whose record the table wrote reads it again; its save expects that.
    QTest::addRow("closing re-reads what it wrote")
        << "open; set Hero HP 5; tab 1; row Sprite 12; set Sprite HP 6; table; click 12 2; type 77; key Return; esc; "
           "?panel Hero; ?panel Sprite; set Sprite HP 7; save Sprite; ?file"
        << QStringList{"panel: 5 13 11 13 5 6", "panel: 103 21 77 36 21 35 25", "file: Sprite 12 HP 7, " + set};
    QTest::addRow("fill exactly the selected levels")
        << "open; tab 1; table; click 1 2; click 3 2 ctrl; click 9 2 ctrl; fill 0 80; ?status; ?file; "
           "click 3 3; fill 1 99; ?status; click 5 4; click 7 4 ctrl; fill 1 2"
        << QStringList{"preview: 1:0 3:20 9:80", "status: Filled the Sprite's Strength of levels 1, 3 and 9 from 0 to 80, Linear.",
                       "file: Sprite 1 STR 0, Sprite 3 STR 20, Sprite 9 STR 80", "preview: 99 points",
                       "status: Filled the Sprite's Agility of levels 1 to 99 from 1 to 99, Linear.", "preview: 5:1 7:2"};
    QTest::addRow("the Hero's MP") << "open; table; click 1 1; ?chart; fill 1 2; ?status; click 4 2;"
        " type 50; key Return; ?file"
        << QStringList{"chart: The Hero has no MP.", "status: Nothing was filled: the Hero has no MP.", "file: Hero 4 MP 0, Hero 4 STR 50"};
    QTest::addRow("a short image") << "open 0x10497C; tab 1; table; click 5 0; fill 1 2; ?status"
        << QStringList{"status: Nothing was filled: the image is too short for level 40 of the Sprite."};
    QTest::addRow("a huge clipboard") << "open; table; clip huge; key Ctrl+V; ?status; ?file"
        << QStringList{"status: Nothing was pasted: The pasted text is longer than the table can take (44800 "
                       "bytes).", "file: unchanged"};
    const QString least = OnWindows ? "at least 658 x 145" : "at least 608 x 145";  // Windows' wider buttons
    QTest::addRow("the size is remembered") << "open; table; ?size; resize 700 430; esc; table; ?size"
        << QStringList{"size: 760 x 520, " + least, "size: 700 x 430, " + least};
    // Another program writes the image too.
    QTest::addRow("an undo after another program") << typed + "poke 0x10489C 99; key Ctrl+Z; ?status; ?file; ?undo"
        << QStringList{"status: Nothing was undone: Level 12 of the Sprite no longer holds what this step expects: "
                       "another program changed it. The step stays in the history.",
                       "file: " + set + ", Sprite 12 AGI 99", "undo: Undo"};
    QTest::addRow("a paste failing part way")
        << "open; tab 1; table; clip 1\n2\n3\n4; fail 2 1; key Ctrl+V; ?status; ?file; ?undo; key Ctrl+Z; ?status; ?file"
        << QStringList{"status: Cannot write \"DIR/a.smc\": " + SystemReason(ENOSPC) + ". Sprite levels 1 to 2 reached the file "
                       "whole. Level 3 of the Sprite is incomplete: its HP only in part; the other fields kept their old "
                       "values. The other level was not written. Undo takes back what reached the file.",
                       "file: Sprite 1 HP 1, Sprite 2 HP 2, Sprite 3 HP 3", "undo: Undo",
                       "status: Undone: Pasted 4 cells from Sprite level 1 HP.", "file: unchanged"};
    QTest::addRow("a failing flush") << "open; tab 1; row Sprite 12; table; click 12 2; fail flush; type 77; key Return; ?status; ?undo"
        << QStringList{"status: Cannot flush \"DIR/a.smc\" to disk: " + SystemReason(EIO) + ". The new values are in the file, "
                       "but the system could not confirm that they reached the disk. Undo takes back what reached the file.",
                       "undo: Undo"};
    QTest::addRow("a failing undo") << typed + "fail 0; key Ctrl+Z; ?status; ?undo; ?file; key Ctrl+Z; ?status"
        << QStringList{"status: Cannot write \"DIR/a.smc\": " + SystemReason(ENOSPC) + ". Nothing was written. The step "
                       "stays in the history.", "undo: Undo", "file: " + set, "status: " + undone};
    QTest::addRow("another program's lock") << typed + "hold; key Ctrl+Z; ?status; release; key Ctrl+Z; ?status; ?cursor"
        << QStringList{"status: Nothing was undone: DIR/a.smc is being changed by another program.",
                       "status: Waiting for another program to finish...", "cursor: busy", "status: " + undone,
                       "cursor: arrow"};
}

}  // namespace thornwake::test

QTEST_MAIN(thornwake::test::LevelTableTest)
#include "tst_level_table.moc"
