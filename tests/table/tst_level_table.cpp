// Curves and pasted blocks, and the Level Table window as the user drives it
// from the main window (editor_session.h).

#include "editor_session.h"
#include "level_edits.h"

Q_DECLARE_METATYPE(thornwake::Curve)
Q_DECLARE_METATYPE(thornwake::CharacterId)
Q_DECLARE_METATYPE(thornwake::StatField)

namespace thornwake::test {

class LevelTableTest : public QObject {
    Q_OBJECT

private slots:
    void curve_data() {
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<QList<int>>("ends");  // first, last, count
        QTest::addColumn<QList<int>>("values");
        QTest::addRow("linear, halves to even") << Curve::Linear << QList{0, 5, 5} << QList{0, 1, 2, 4, 5};
        QTest::addRow("linear down through a negative half") << Curve::Linear << QList{1, -2, 3} << QList{1, 0, -2};
        QTest::addRow("ease in") << Curve::EaseIn << QList{0, 100, 5} << QList{0, 6, 25, 56, 100};
        QTest::addRow("ease out") << Curve::EaseOut << QList{0, 100, 5} << QList{0, 44, 75, 94, 100};
        QTest::addRow("s-curve") << Curve::SCurve << QList{0, 100, 5} << QList{0, 16, 50, 84, 100};
        QTest::addRow("s-curve, the whole HP range")
            << Curve::SCurve << QList{-32768, 32767, 3} << QList{-32768, 0, 32767};
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
        QTest::addRow("CRLF rows") << "1\t2\r\n-3\t4\r\n"
                                   << CharacterId::Girl << 0 << StatField::HP << "0:HP=1 0:MP=2 1:HP=-3 1:MP=4";
        QTest::addRow("a header, trailing tabs, empty last lines")
            << " strength\tAgi\r\n5\t6\t\n7\t\t\n\r\n\n"
            << CharacterId::Girl << 97 << StatField::STR << "97:STR=5 97:AGI=6 98:STR=7";
        QTest::addRow("a header alone") << "HP\tMP" << CharacterId::Girl << 98 << StatField::HP << "";
        QTest::addRow("Hero's empty MP skipped")
            << "10\t\t5" << CharacterId::Hero << 98 << StatField::HP << "98:HP=10 98:STR=5";
        QTest::addRow("Hero's MP refused")
            << "10\t3" << CharacterId::Hero << 0 << StatField::HP << "Level 1 MP: the Hero has no MP.";
        QTest::addRow("past level 99") << "1\n2" << CharacterId::Girl << 98 << StatField::HP
                                       << "The pasted rows reach past level 99.";
        QStringList all;  // a paste as long as the table
        for (int level = 0; level < 99; ++level) all << QString("%1:HP=7").arg(level);
        QTest::addRow("99 rows") << QString("7\n").repeated(99) << CharacterId::Girl << 0 << StatField::HP
                                 << all.join(' ');
        QTest::addRow("100 rows and a header") << "HP\n" + QString("1\n").repeated(100) << CharacterId::Girl << 0
                                               << StatField::HP << "The pasted rows reach past level 99.";
        QTest::addRow("longer than any block")
            << QString("1\n").repeated(22401) << CharacterId::Girl << 0 << StatField::HP
            << "The pasted text is longer than the table can take (44800 bytes).";
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
    void table() { RunScenario(); }
};

void LevelTableTest::table_data() {
    ScenarioColumns();
    const QString typed = "open a.smc; tab 1; row Sprite 12; menu mnuLevelTable; click 12 2; type 77; key Return; ";
    const QString undone = "Undone: Sprite level 12 Strength set to 77.";
    const QString set = "file a.smc: Sprite 12 STR 77";
    QTest::addRow("opens where the user is, pastes at the selection's top left")
        << "open a.smc; tab 1; row Sprite 20; menu mnuLevelTable; ?character; ?focus; ?chart; clip 1\n2\n3; "
           "key Shift+Down Shift+Down Ctrl+V; ?status; ?chart; ?file a.smc; key Ctrl+C; ?status; key Up Ctrl+C; "
           "click 50 0; key Ctrl+V; ?status; ?file a.smc"
        << QStringList{"character: Sprite",
                       "focus: LevelGRID at Sprite level 20 HP",
                       "chart: Sprite's HP by level; line 99 points, 1:27519 to 99:-26452; preview dashed ; marked "
                       "20:-4501; levels 1 to 99 by 20; values -40000 to 40000",
                       "status: Pasted 3 cells from Sprite level 20 HP.",
                       "chart: Sprite's HP by level; line 99 points, 1:27519 to 99:-26452; preview dashed ; marked "
                       "20:1 21:2 22:3; levels 1 to 99 by 20; values -40000 to 40000",
                       "file a.smc: Sprite 20 HP 1, Sprite 21 HP 2, Sprite 22 HP 3",
                       "status: Copied 3 x 1 cells.",
                       "status: Pasted 1 cell from Sprite level 50 HP.",
                       "file a.smc: Sprite 20 HP 1, Sprite 21 HP 2, Sprite 22 HP 3, Sprite 50 HP 2"};
    QTest::addRow("Enter goes down, Tab right")
        << typed +
               "?focus; ?file a.smc; type 8; key Tab; ?focus; key Tab Tab Tab Tab; ?focus; "
               "key Shift+Tab Shift+Tab; ?focus; key Return; ?focus; ?file a.smc"
        << QStringList{"focus: LevelGRID at Sprite level 13 Strength",
                       set,
                       "focus: LevelGRID at Sprite level 13 Agility",
                       "focus: FillCMD at Sprite level 13 Wisdom",
                       "focus: LevelGRID at Sprite level 13 Intelligence",
                       "focus: LevelGRID at Sprite level 14 Intelligence",
                       set + ", Sprite 13 STR 8"};
    QTest::addRow("a bad value, Delete, Ctrl+Y")
        << typed +
               "click 12 2; type 300; key Return; ?status; key Delete; ?status; key Ctrl+Z Ctrl+Y; ?status; "
               "?file a.smc"
        << QStringList{"status: Strength must be a whole number from 0 to 255.",
                       "status: Cells cannot be emptied: type a new value instead.",
                       "status: Redone: Sprite level 12 Strength set to 77.", set};
    // The history lasts while the image is open, through closed windows.
    QTest::addRow("undo after reopening")
        << typed +
               "key Esc; ?Sprite; menu mnuLevelTable; ?undo; key Ctrl+Z; ?status; ?undo; key Esc; ?file a.smc; "
               "?Sprite; open a.smc; menu mnuLevelTable; ?undo"
        << QStringList{"Sprite: level 12: -24653|139|77|250|230|210|190",
                       "undo: UndoCMD",
                       "status: " + undone,
                       "undo: RedoCMD",
                       "file a.smc: unchanged",
                       "Sprite: level 12: -24653|139|119|250|230|210|190",
                       "undo: "};
    // Only a panel whose record the table wrote reads it again; its save expects that.
    QTest::addRow("closing re-reads what it wrote")
        << "open a.smc; set Hero HP 5; tab 1; row Sprite 12; set Sprite HP 6; menu mnuLevelTable; click 12 2; "
           "type 77; key Return; key Esc; ?Hero; ?Sprite; set Sprite HP 7; click SpriteSaveCMD; ?file a.smc"
        << QStringList{"Hero: level 1: 5|146|126|106|237|217", "Sprite: level 12: -24653|139|77|250|230|210|190",
                       "file a.smc: Sprite 12 HP 7 STR 77"};
    QTest::addRow("fill exactly the selected levels")
        << "open a.smc; tab 1; menu mnuLevelTable; click 1 2; click 3 2 ctrl; click 9 2 ctrl; fill 0 80 1; ?status; "
           "?chart; ?file a.smc; click 3 3; fill 1 99; ?status; click 5 4; click 7 4 ctrl; fill 1 2"
        << QStringList{"preview: dashed 1:0 3:5 9:80",
                       "status: Filled the Sprite's Strength of levels 1, 3 and 9 from 0 to 80, Ease in.",
                       "chart: Sprite's Strength by level; line 99 points, 1:0 to 99:112; preview dashed ; marked 1:0 "
                       "3:5 9:80; levels 1 to 99 by 20; values 0 to 400",
                       "file a.smc: Sprite 1 STR 0, Sprite 3 STR 5, Sprite 9 STR 80",
                       "preview: dashed 99 points, 1:1 to 99:99",
                       "status: Filled the Sprite's Agility of levels 1 to 99 from 1 to 99, Linear.",
                       "preview: dashed 5:1 7:2"};
    QTest::addRow("the Hero's MP")
        << "open a.smc; menu mnuLevelTable; click 1 1; ?chart; fill 1 2; ?status; click 4 2; type 50; key Return; "
           "?file a.smc"
        << QStringList{
               "chart: The Hero has no MP.; line ; preview dashed ; marked ; levels 1 to 99 by 20; values 0 to 15",
               "status: Nothing was filled: the Hero has no MP.", "file a.smc: Hero 4 MP 0 STR 50"};
    QTest::addRow("a short image")
        << "truncate a.smc 0x10497C; open a.smc; tab 1; menu mnuLevelTable; click 5 0; fill 1 2; ?status"
        << QStringList{"status: Nothing was filled: the image is too short for level 40 of the Sprite."};
    QTest::addRow("a huge clipboard")
        << "open a.smc; menu mnuLevelTable; clip huge; key Ctrl+V; ?status; ?file a.smc"
        << QStringList{"status: Nothing was pasted: The pasted text is longer than the table can take (44800 bytes).",
                       "file a.smc: unchanged"};
    const QString least = OnWindows ? "at least 658 x 145" : "at least 608 x 145";  // Windows' wider buttons
    QTest::addRow("the size is remembered")
        << "open a.smc; menu mnuLevelTable; ?size; resize 700 430; key Esc; menu mnuLevelTable; ?size"
        << QStringList{"size: 760 x 520, " + least, "size: 700 x 430, " + least};
    // Another program writes the image too.
    QTest::addRow("an undo after another program")
        << typed + "poke a.smc 0x10489C 99; key Ctrl+Z; ?status; ?file a.smc; ?undo"
        << QStringList{
               "status: Nothing was undone: Level 12 of the Sprite no longer holds what this step expects: "
               "another program changed it. The step stays in the history.",
               "file a.smc: Sprite 12 STR 77 AGI 99", "undo: UndoCMD"};
    const QString full = "Cannot write \"DIR/a.smc\": " + SystemReason(ENOSPC) + ".";
    QTest::addRow("a paste failing part way")
        << "open a.smc; tab 1; menu mnuLevelTable; clip 1\n2\n3\n4; fail 2 1; key Ctrl+V; ?status; ?file a.smc; "
           "?undo; key Ctrl+Z; ?status; ?file a.smc; key Ctrl+Y; ?file a.smc"
        << QStringList{"status: " + full +
                           " Sprite levels 1 to 2 reached the file whole. Level 3 of the Sprite is incomplete: its HP "
                           "only in part; the other fields kept their old values. The other level was not written. "
                           "Undo takes back what reached the file.",
                       "file a.smc: Sprite 1 HP 1, Sprite 2 HP 2, Sprite 3 HP -4093",
                       "undo: UndoCMD",
                       "status: Undone: Pasted 4 cells from Sprite level 1 HP.",
                       "file a.smc: unchanged",
                       "file a.smc: Sprite 1 HP 1, Sprite 2 HP 2, Sprite 3 HP -4093"};
    QTest::addRow("a failing flush")
        << "open a.smc; tab 1; row Sprite 12; menu mnuLevelTable; click 12 2; fail flush; type 77; key Return; "
           "?status; ?undo"
        << QStringList{"status: Cannot flush \"DIR/a.smc\" to disk: " + SystemReason(EIO) +
                           ". The new values are in the file, but the system could not confirm that they reached the "
                           "disk. Undo takes back what reached the file.",
                       "undo: UndoCMD"};
    QTest::addRow("a failing undo") << typed + "fail 0; key Ctrl+Z; ?status; ?undo; ?file a.smc; key Ctrl+Z; ?status"
                                    << QStringList{
                                           "status: " + full + " Nothing was written. The step stays in the history.",
                                           "undo: UndoCMD", set, "status: " + undone};
    QTest::addRow("another program's lock")
        << typed + "lock a.smc 100; later ?status; key Ctrl+Z; ?status; unlock; key Ctrl+Z; ?status"
        << QStringList{"status: Waiting for another program to finish..., busy",
                       "status: Nothing was undone: DIR/a.smc is being changed by another program.",
                       "status: " + undone};
}

}  // namespace thornwake::test

QTEST_MAIN(thornwake::test::LevelTableTest)
#include "tst_level_table.moc"
