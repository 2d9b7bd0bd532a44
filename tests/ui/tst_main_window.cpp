// The main window as the user drives it (editor_session.h): caption, enabled
// controls, panels, field texts, message boxes, the Saved! flash, and the
// records changed in each file.

#include "editor_session.h"
#include "main/rom_file_dialog.h"

using namespace thornwake;
using namespace thornwake::test;

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void scenario_data();
    void scenario() { RunScenario(); }

    // The desktop's own Open dialog where it has one; each entry shown by its caption alone, ROM files picked.
    void openDialog() {
        QFileDialog dialog;
        PrepareOpenFileDialog(dialog, {RomFileFilters(), PreselectedRomFilter, {}});
        QCOMPARE(dialog.options(), QFileDialog().options() | QFileDialog::HideNameFilterDetails);
        QCOMPARE(dialog.selectedNameFilter(), "All SNES ROM Files (*.swc, *.smc, *.fig)");
    }

    // The client area; each panel in the tab page, below the strip; every
    // control of the window and the panels inside its parent, its caption within its box.
    void layout() {
        Editor e;
        QCOMPARE(e.window.centralWidget()->size(), QSize(353, 360));
        QCOMPARE(e.window.minimumSize(), e.window.maximumSize());
        QVERIFY(e.find("SelectLevelsTAB")->findChild<QTabBar*>()->geometry().bottom() + 4 < 36);
        const QRegularExpression controls("(FRM|LST|TXT|CMD|TAB|LBL|IMG|^Label\\d+)$");
        for (QWidget* w : e.window.centralWidget()->findChildren<QWidget*>(controls)) {
            const int frame = qobject_cast<QPushButton*>(w) ? 8 : 0;
            const int width = w->fontMetrics().horizontalAdvance(w->property("text").toString().remove('&'));
            QVERIFY2(width + frame <= w->width(), qPrintable(w->objectName()));
            QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(w->objectName()));
            if (w->objectName().endsWith("FRM")) QCOMPARE(w->geometry(), QRect(14, 36, 323, 279));
        }
    }
};

// Images: a.smc and b.swc, 1 MiB + 64 KiB of a pattern each; others made by a step.
void TestMainWindow::scenario_data() {
    ScenarioColumns();
    const QString closed = "enabled: mnuFile mnuOpen mnuQuit mnuFeatures mnuHelp mnuWWW mnuAbout QuitCMD";
    const QString versioned = "caption: Thornwake Level & Stat Editor (v0.22b)";
    const QString hero1 = "Hero: level 1: -17714|146|126|106|237|217";
    const QString sprite5 = "Sprite: level 5: -8462|202|182|162|142|122|102";
    const QString dialog =
        "dialog: All Files (*.*) (*) / All SNES ROM Files (*.swc, *.smc, *.fig) (*.smc *.swc *.fig *.sfc) / Super "
        "MagiCom ROM File (*.smc) (*.smc) / Super Wild Card ROM File (*.swc) (*.swc) / Super UFO 8/Pro Fighter X ROM "
        "File (*.fig) (*.fig), #1, ";
    const QString maxed = " STR 99 AGI 99 CON 99 INTL 99 WIS 99";
    auto box = [](const QString& title, const QString& text) {
        return "box: icon 2 | " + title + " | " + text + " | buttons 400 | default 400";
    };
    auto confirm = [](const QString& whose) {
        return "box: icon 4 | Are you sure about that? | Are you sure you want to Maximize " + whose +
               " stats?  This cannot be undone! | buttons 14000 | default 4000";
    };
    QTest::addRow("start-up") << "menu mnuMaxAll"
                              << QStringList{"caption: Thornwake Level Stat Editor",
                                             closed,
                                             "panels: (tab 0)",
                                             "focus: QuitCMD",
                                             "Hero: level 0: |||||",
                                             "Sprite: level 0: ||||||",
                                             "Girl: level 0: ||||||",
                                             "Sprite captions: HP: MP: Strength Agility Constitution: Intelligence: "
                                             "Wisdom: Saved!",
                                             "menus: &File, &Open ROM Ctrl+O, -, &Close ROM Ctrl+U, -, &Quit Ctrl+Q, "
                                             "Fea&tures, Maximize Hero's Level Stats F6, Maximize Sprite's Level "
                                             "Stats F7, Maximize Girl's Level Stats F8, -, Maximize Everyone's Level "
                                             "Stats F9, -, Level &Table... Ctrl+T, &Help, Visit quillfern-soft.example "
                                             "F12, -, &About F1,"};
    QTest::addRow("open, quit") << "open a.smc; click QuitCMD; open b.swc"
                                << QStringList{versioned,
                                               "enabled: all",
                                               "panels: Hero (tab 0)",
                                               hero1,
                                               "saves: Hero Sprite Girl",
                                               "Sprite: level 0: ||||||",
                                               "file a.smc: unchanged",
                                               "end: 0"};
    QTest::addRow("close keeps texts")
        << "open a.smc; tab 1; row Sprite 5; row Hero 4; menu mnuClose"
        << QStringList{versioned,       closed, "panels: (tab 1)", sprite5, "Hero: level 4: -24653|119|250|230|210|190",
                       "focus: QuitCMD"};
    // Opened from a field, the image's level list takes the focus: a Space then cannot hit Quit.
    QTest::addRow("open from a field") << "open a.smc; key HeroHPTXT Ctrl+O"
                                       << QStringList{hero1, "focus: HeroLevelLST"};
    QTest::addRow("another image") << "open a.smc; tab 1; row Sprite 5; open b.swc"
                                   << QStringList{"panels: Hero (tab 0)",
                                                  "Hero: level 1: -13345|163|143|123|103|234",
                                                  sprite5,
                                                  dialog + "DIR/a.smc",
                                                  "file a.smc: unchanged",
                                                  "file b.swc: unchanged"};
    QTest::addRow("cancel first, close box")
        << "open; closebox" << QStringList{versioned, closed, "panels: (tab 0)", dialog, "end: 0"};
    QTest::addRow("cancel reopens") << "open a.smc; row Hero 7; tab 2; poke a.smc 0x104213 201; open"
                                    << QStringList{"enabled: all", "panels: Hero (tab 0)",
                                                   "Hero: level 1: -17714|201|126|106|237|217", dialog + "DIR/a.smc"};
    QTest::addRow("tab click") << "open a.smc; row Sprite 3; set Hero HP 77; focus HeroHPTXT; tab 1"
                               << QStringList{"panels: Sprite (tab 1)", "saves: Hero Girl",
                                              "Hero: level 1: 77|146|126|106|237|217", "focus: qt_tabwidget_tabbar"};
    // Loads and saves follow the selection: focus arriving in a list picks
    // nothing; a click on the entry picked reads it again; Ctrl+click unpicks it.
    QTest::addRow("focus into a list") << "open a.smc; tab 1; key SpriteHPTXT Shift+Tab"
                                       << QStringList{"focus: SpriteLevelLST", "Sprite: level 0: ||||||",
                                                      "saves: Hero Girl"};
    QTest::addRow("focus into a list, Down") << "open a.smc; tab 1; key SpriteHPTXT Shift+Tab; key SpriteLevelLST Down"
                                             << QStringList{"Sprite: level 1: 27519|238|218|198|178|158|138"};
    QTest::addRow("focus into a list, End") << "open a.smc; tab 1; key SpriteHPTXT Shift+Tab; key SpriteLevelLST End"
                                            << QStringList{"Sprite: level 99: -26452|132|112|243|223|203|183"};
    QTest::addRow("click on the entry picked") << "open a.smc; tab 1; click Sprite 5; set Sprite HP 7; click Sprite 5"
                                               << QStringList{sprite5, "saves: Hero Sprite Girl"};
    QTest::addRow("Ctrl+click") << "open a.smc; tab 1; click Sprite 5; click Sprite 5 ctrl; click SpriteSaveCMD"
                                << QStringList{"Sprite: level 0: -8462|202|182|162|142|122|102", "saves: Hero Girl",
                                               "file a.smc: unchanged"};
    // Every shortcut from every kind of control, also one that binds the key
    // itself (as a line edit binds Ctrl+U on X11).
    for (const char* control : {"HeroLevelLST", "HeroHPTXT", "HeroSaveCMD", "QuitCMD", "qt_tabwidget_tabbar"}) {
        QTest::addRow("shortcuts from %s", control)
            << QString(
                   "open a.smc; bind %1; answer No; answer No; answer No; answer No; "
                   "key %1 F1 F12 F6 F7 F8 F9 Ctrl+T Ctrl+O Ctrl+Q Ctrl+U")
                   .arg(control)
            << QStringList{
                   "ran: mnuOpen mnuAbout mnuWWW mnuMaxHero mnuMaxSprite mnuMaxGirl mnuMaxAll mnuLevelTable "
                   "mnuOpen mnuQuit mnuClose",
                   confirm("the Hero's"),
                   confirm("the Sprite's"),
                   confirm("the Girl's"),
                   confirm("everyone's"),
                   "end: 0"};
    }
    const QString refused =
        box("Cannot Proceed", "This ROM has a 200 byte header that must be removed before using this program.");
    QTest::addRow("refused") << "make big.smc 3146241; open big.smc; open a.smc"
                             << QStringList{refused, "end: 1", "Hero: level 0: |||||", "file big.smc: unchanged"};
    const QString missing = box("Cannot Open ROM", "Cannot open \"DIR/none.smc\": " + SystemReason(ENOENT) + ".");
    QTest::addRow("no file, not a file (Linux only: /dev/null is a device there)")
        << "open none.smc; open /dev/null"
        << QStringList{missing, box("Cannot Open ROM", "/dev/null is not a regular file."), closed,
                       "end: ", "file none.smc: gone"};
    // A file named at start opens as Open ROM opens one; the dialog then starts there.
    QTest::addRow("file at start") << "start a.smc"
                                   << QStringList{versioned, "enabled: all", hero1, "file a.smc: unchanged"};
    QTest::addRow("open after start") << "start a.smc; open b.swc" << QStringList{dialog + "DIR/a.smc"};
    QTest::addRow("refused file at start")
        << "make big.smc 2097664; start big.smc; open a.smc" << QStringList{refused, "end: 1", "Hero: level 0: |||||"};
    QTest::addRow("missing file at start")
        << "start none.smc; open" << QStringList{missing, missing, closed, dialog + "DIR/none.smc"};
    // The system's own reason; a name that is not UTF-8 opens from the command line and from the dialog.
    QTest::addRow("symlink loop (Linux only: Wine does not see the links as Linux does)")
        << "link loop; start loop"
        << QStringList{box("Cannot Open ROM", "Cannot open \"DIR/loop\": Too many levels of symbolic links."), closed};
    QTest::addRow("not UTF-8 (Linux only: a name on Windows is UTF-16)")
        << "move a.smc %E9t%E9.smc; start %E9t%E9.smc; open; open %E9t%E9.smc"
        << QStringList{"enabled: all", hero1, dialog + "DIR/\uFFFDt\uFFFD.smc"};
    // Not before the window is on the screen, so that the box stands over it.
    QTest::addRow("file at start, window hidden")
        << "make big.smc 2097664; hide; start big.smc" << QStringList{"end: "};
    QTest::addRow("short image") << "make short.smc 0x104844; open short.smc; row Sprite 2; menu mnuMaxAll"
                                 << QStringList{box("Cannot Read Level",
                                                    "Level 2 of the Sprite could not be read.\n\nCannot read 2 byte(s) "
                                                    "at offset 0x104848: the file \"DIR/short.smc\" is only 1067076 "
                                                    "bytes long."),
                                                "saves: Hero Girl",
                                                "Sprite: level 2: ||||||",
                                                confirm("everyone's"),
                                                box("Cannot Maximize",
                                                    "Cannot write 8 byte(s) at offset 0x104840: the file "
                                                    "\"DIR/short.smc\" is only 1067076 bytes long.\n\nNothing was "
                                                    "written."),
                                                "file short.smc: unchanged"};
    // Typing stops at 3 characters for HP and MP, 2 for the others; longer
    // text read from the file cannot be lengthened.
    QTest::addRow("save typed") << "open a.smc; row Sprite 7; set Sprite HP ; focus SpriteHPTXT; type -9876; "
                                   "set Sprite MP ; focus SpriteMPTXT; type 2555; set Sprite STR 8; set Sprite CON ; "
                                   "focus SpriteCONTXT; type 123; set Sprite WIS 255; click SpriteSaveCMD"
                                << QStringList{"Sprite: level 7: -98|255|8|144|12|104|255", "flash Sprite: +-+-+-",
                                               "saves: Hero Sprite Girl",
                                               "file a.smc: Sprite 7 HP -98 MP 255 STR 8 CON 12 WIS 255"};
    QTest::addRow("save as read") << "poke a.smc 0x104213 200; poke a.smc 0x104210 232; poke a.smc 0x104211 3; "
                                     "open a.smc; row Hero 2; row Hero 1; focus HeroHPTXT; type 5; focus HeroSTRTXT; "
                                     "type 1; click HeroSaveCMD"
                                  << QStringList{"Hero: level 1: 1000|200|126|106|237|217",
                                                 "file a.smc: Hero 1 HP 1000 MP 0 STR 200"};
    // The box names the field; nothing is written or flashed, the texts stay and the field has the focus.
    for (const auto& [stem, text, message, texts] :
         {std::tuple{"HP", "32768", "HP must be a whole number from -32768 to 32767.", "32768|157|137|42|248|228|208"},
          {"MP", "256", "MP must be a whole number from 0 to 255.", "-20027|256|137|42|248|228|208"}}) {
        QTest::addRow("rejected %s %s", stem, text)
            << QString("open a.smc; tab 2; row Girl 6; set Girl AGI 42; set Girl %1 %2; click GirlSaveCMD")
                   .arg(stem, text)
            << QStringList{box("Cannot Save Level", message), QString("focus: Girl%1TXT").arg(stem),
                           "flash Girl: ", "file a.smc: unchanged", QString("Girl: level 6: ") + texts};
    }
    for (const auto& [item, whose, title, done, file] :
         {std::tuple{"Hero", "the Hero's", "Max'd the Hero!", "All 99 of the Hero's Level Stats are set to 999 HP",
                     QString("Hero 1-99 HP 999 MP 0")},
          {"Sprite", "the Sprite's", "Max'd the Sprite!", "All 99 of the Sprite's Level Stats are set to 999 HP",
           "Sprite 1-99 HP 999 MP 99"},
          {"Girl", "the Girl's", "Max'd the Girl!", "All 99 of the Girl's Level Stats are set to 999 HP / 99 MP",
           "Girl 1-99 HP 999 MP 99"},
          {"All", "everyone's", "Max'd them all!",
           "All 99 of each of the character's Level Stats are set to 999 HP / 99 MP",
           "Hero 1-99 HP 999 MP 0" + maxed + ", Girl 1-99 HP 999 MP 99" + maxed + ", Sprite 1-99 HP 999 MP 99"}}) {
        QTest::addRow("maximize %s, Yes", item)
            << QString("open a.smc; row Sprite 5; menu mnuMax%1").arg(item)
            << QStringList{confirm(whose),
                           QString("box: icon 1 | %1 | %2 and 99 Strength, 99 Agility, 99 Constitution, 99 "
                                   "Intelligence and 99 Wisdom. | buttons 400 | default 400")
                               .arg(title, done),
                           "file a.smc: " + file + maxed, hero1, sprite5};
    }
    QTest::addRow("maximize, No") << "open a.smc; answer No; menu mnuMaxAll"
                                  << QStringList{confirm("everyone's"), "file a.smc: unchanged"};
    // The image changed, taken or failing: nothing is written, or the box says what was.
    const QString moved = "DIR/a.smc was moved, replaced or deleted since it was opened. Open it again.";
    const QString locked = "DIR/a.smc is being changed by another program.";
    const QString resized =
        "DIR/a.smc changed size since it was opened (1114112 bytes then, 1067116 now). Open it again.";
    const QString level6 = "Level 6 of the Sprite could not be saved.\n\n";
    const QString old = "file a.smc: unchanged";
    const QString none = "\n\nNothing was written.";
    const QString full = "Cannot write \"DIR/a.smc\": " + SystemReason(ENOSPC) + ".";
    for (const auto& [trouble, text, file] :
         {std::tuple{"lock a.smc", level6 + locked + none, old},
          {"move a.smc c.smc", level6 + moved + none, "file c.smc: unchanged"},
          {"delete a.smc", level6 + moved + none, "file a.smc: gone"},
          {"truncate a.smc 0x10486C", level6 + resized + none, old},
          {"fail 0", level6 + full + none, old},
          {"fail 0 3",
           level6 + full +
               "\n\nLevel 6 of the Sprite is incomplete: its HP and MP reached the file; the other fields "
               "kept their old values.",
           "file a.smc: Sprite 6 HP -1 MP 7"},
          {"fail flush",
           level6 + "Cannot flush \"DIR/a.smc\" to disk: " + SystemReason(EIO) +
               ".\n\nThe new values are in the file, but the system could not confirm that they reached the disk.",
           "file a.smc: Sprite 6 HP -1 MP 7 STR 8 WIS 9"},
          {"poke a.smc 0x10486B 77",
           "Level 6 of the Sprite was changed by another program since you picked it. Pick the level again to see "
           "what the file holds.",
           "file a.smc: Sprite 6 STR 77"}}) {
        QTest::addRow("save, %s%s", trouble, QByteArray(trouble).startsWith("delete") ? DeletedWhileOpen : "")
            << QString(
                   "open a.smc; row Sprite 6; set Sprite HP -1; set Sprite MP 7; set Sprite STR 8; "
                   "set Sprite WIS 9; %1; click SpriteSaveCMD")
                   .arg(trouble)
            << QStringList{box("Cannot Save Level", text), file, "flash Sprite: "};
    }
    for (const auto& [trouble, text, file] :
         {std::tuple{"lock a.smc", locked + none, old},
          {"move a.smc c.smc", moved + none, "file c.smc: unchanged"},
          {"truncate a.smc 0x10486C", resized + none, old},
          {"fail 20", full + "\n\nSprite levels 1 to 20 reached the file whole. The other levels were not written.",
           "file a.smc: Sprite 1-20 HP 999 MP 99" + maxed}}) {
        QTest::addRow("maximize, %s", trouble)
            << QString("open a.smc; %1; menu mnuMaxSprite").arg(trouble)
            << QStringList{confirm("the Sprite's"), box("Cannot Maximize", text), file};
    }
    // While another program holds the lock, the window says so and shows a busy cursor.
    QTest::addRow("save, waiting") << "open a.smc; lock a.smc 100; later ?info; click HeroSaveCMD"
                                   << QStringList{"info: Waiting for another program to finish..., busy",
                                                  box("Cannot Save Level",
                                                      "Level 1 of the Hero could not be "
                                                      "saved.\n\n" +
                                                          locked + none),
                                                  "info: Info goes here!!!"};
    // A save after a maximize writes the values shown, as read before it.
    QTest::addRow("save after maximize")
        << "open a.smc; menu mnuMaxHero; click HeroSaveCMD"
        << QStringList{confirm("the Hero's"),
                       "box: icon 1 | Max'd the Hero! | All 99 of the Hero's Level Stats are set to 999 HP and 99 "
                       "Strength, 99 Agility, 99 Constitution, 99 Intelligence and 99 Wisdom. | buttons 400 | default "
                       "400",
                       "file a.smc: Hero 1 MP 0, Hero 2-99 HP 999 MP 0" + maxed};
    // A command chosen while a save flashes: the file holds what was written
    // before it, and nothing reaches a closed or another file.
    const QString steps = "open a.smc; set Hero WIS 66; later %1; click HeroSaveCMD";
    const QString saved = "file a.smc: Hero 1 MP 0 WIS 66";
    QTest::addRow("save / Close ROM") << steps.arg("menu mnuClose")
                                      << QStringList{saved, "flash Hero: +-+-+-", closed, "end: "};
    QTest::addRow("save / Open ROM") << steps.arg("open b.swc")
                                     << QStringList{saved, "flash Hero: +-+-+-", "file b.swc: unchanged",
                                                    "enabled: all", "Hero: level 1: -13345|163|143|123|103|234"};
    QTest::addRow("save / Quit") << steps.arg("click QuitCMD") << QStringList{saved, "flash Hero: +-", "end: 0"};
    // While a maximize run writes, nothing else writes or closes the image;
    // Quit stops the run after its record and says what reached the file.
    for (const auto& [item, whose, first, all] :
         {std::tuple{"Sprite", "the Sprite's", QString("Sprite 1 HP 999 MP 99"), "Sprite 1-99 HP 999 MP 99" + maxed},
          {"All", "everyone's", "Hero 1 HP 999 MP 0",
           "Hero 1-99 HP 999 MP 0" + maxed + ", Girl 1-99 HP 999 MP 99" + maxed + ", Sprite 1-99 HP 999 MP 99" +
               maxed}}) {
        const QString run = QString("open a.smc; set Hero WIS 66; later %1; menu mnuMax") + item;
        const QString title = QString(item) == "All" ? "Max'd them all!" : "Max'd the Sprite!";
        for (const char* nested :
             {"menu mnuClose", "open b.swc", "click HeroSaveCMD", "menu mnuMaxHero", "menu mnuLevelTable"}) {
            QTest::addRow("maximize %s / %s", item, nested)
                << run.arg(nested) << QStringList{confirm(whose),       "box: icon 1 | " + title + " | …",
                                                  "file a.smc: " + all, "flash Hero: ",
                                                  "enabled: all",       "file b.swc: unchanged"};
        }
        // The close box as Quit.
        QTest::addRow("maximize %s / Quit", item)
            << run.arg(QString(item) == "All" ? "closebox" : "click QuitCMD")
            << QStringList{confirm(whose),
                           QString("box: icon 1 | Maximize Stopped | Quit stopped the maximize run.\n\n%1 level 1 "
                                   "was written before the run was stopped; the other levels were not written. | "
                                   "buttons 400 | default 400")
                               .arg(first.section(' ', 0, 0)),
                           "file a.smc: " + first + maxed, "end: 0"};
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
