// The main window, offscreen, through the fake desktop, on image files in a
// temporary folder. Each scenario is the steps a user takes and what the user
// then sees: caption, enabled controls, panels, field texts, message boxes, the
// Saved! flash, and the records changed in each file, read apart from rom/.

#include <QtTest>
#include <QtWidgets>

#include "failing_disk.h"
#include "fake_desktop.h"
#include "main/main_window.h"
#include "main/rom_file_dialog.h"

namespace thornwake::test {

// The characters in tab order; the field name stems in record order.
const QStringList Characters{"Hero", "Sprite", "Girl"}, Stems{"HP", "MP", "STR", "AGI", "CON", "INTL", "WIS"};

struct Editor : QObject {
    QTemporaryDir folder;
    QMap<QString, QByteArray> made;  // each image as the test wrote it
    QMap<QString, QString> flashes;  // per Saved! label: "+" shown, "-" hidden, "!" after a step under 250 ms
    QElapsedTimer clock;
    qsizetype boxesSeen = 0;
    QStringList ran;  // the menu items run, in order
    QStringList noted;  // what the information line showed at each "note"
    RomFile other;  // another program's handle on an image
    FakeDesktop desktop;
    Main window{desktop};  // last: gone before what its labels' events reach

    Editor() {
        for (int seed : {0, 1}) make(seed ? "b.swc" : "a.smc", 0x110000, seed);
        for (const QString& who : Characters) find(who + "SaveLBL")->installEventFilter(this);
        for (QAction* item : window.findChildren<QAction*>())
            connect(item, &QAction::triggered, this, [=] { ran << item->objectName(); });
        clock.start();
        window.show();
        if (!QTest::qWaitForWindowActive(&window)) qWarning("the main window did not become active");
    }
    bool eventFilter(QObject* label, QEvent* event) override {
        // a control's own binding of every key
        if (event->type() == QEvent::ShortcutOverride) return event->accept(), false;
        QString& log = flashes[label->objectName().chopped(7)];
        if (const bool shown = event->type() == QEvent::ShowToParent; shown || event->type() == QEvent::HideToParent)
            log += QString(clock.restart() < 250 && !log.isEmpty() ? "!" : "") + (shown ? "+" : "-");
        return false;
    }

    template <typename T = QWidget> T* find(const QString& name) const { return window.findChild<T*>(name); }
    QLineEdit* field(const QString& who, const QString& stem) const { return find<QLineEdit>(who + stem + "TXT"); }
    QListWidget* list(const QString& who) const { return find<QListWidget>(who + "LevelLST"); }
    QString path(const QString& name) const {
        return name.isEmpty() || name.startsWith('/') ? name : folder.filePath(name); }
    // A file's name as the system's bytes: %XX stands for a byte that is not UTF-8.
    QByteArray bytes(const QString& name) const {
        return QByteArray::fromPercentEncoding(QFile::encodeName(path(name))); }
    void make(const QString& name, qsizetype size, int seed = 0) {
        made[name] = QByteArray(size, 0);
        for (qsizetype i = 0; i < size; ++i) made[name][i] = char((i * 131 + (i >> 8) * 7 + seed * 17) % 251);
        store(name);
    }
    void store(const QString& name) {
        QFile file(path(name)); file.open(QIODevice::WriteOnly) && file.write(made[name]); }

    void run(const QString& step) {
        const QStringList w = step.split(' ');
        const QString arg = step.section(' ', 1), rest = step.section(' ', 3);
        if (w[0] == "later") QTimer::singleShot(0, this, [this, arg] { run(arg); });  // inside the next command
        else if (w[0] == "open")  // a name as Qt's dialog gives it
            desktop.fileAnswers << QFile::decodeName(bytes(arg)), find<QAction>("mnuOpen")->trigger();
        else if (w[0] == "start") window.OpenAtStart(bytes(arg).toStdString());  // the file named on the command line
        else if (w[0] == "hide") window.hide();
        else if (w[0] == "make") make(w[1], w[2].toInt(nullptr, 0));
        else if (w[0] == "poke") made[w[1]][w[2].toInt(nullptr, 0)] = char(w[3].toInt()), store(w[1]);
        else if (w[0] == "answer") desktop.messageAnswers << (arg == "Yes" ? QMessageBox::Yes : QMessageBox::No);
        else if (w[0] == "menu") find<QAction>(arg)->trigger();
        else if (QTabBar* tabs = find<QTabWidget>("SelectLevelsTAB")->tabBar(); w[0] == "tab")
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(arg.toInt()).center());
        else if (w[0] == "click")
            QTest::mouseClick(list(w[1])->viewport(), Qt::LeftButton,
                              w.size() > 3 ? Qt::ControlModifier : Qt::NoModifier,
                              list(w[1])->visualItemRect(list(w[1])->item(w[2].toInt() - 1)).center());
        else if (w[0] == "bind") find(arg)->installEventFilter(this);
        else if (w[0] == "focus") find(arg)->setFocus();
        else if (w[0] == "press") for (const QString& keys : w.mid(2))
            run("focus " + w[1]), QTest::keySequence(find(w[1]), QKeySequence(keys));
        else if (w[0] == "row") list(w[1])->setCurrentRow(w[2].toInt() - 1);
        else if (w[0] == "set") field(w[1], w[2])->setText(rest);
        else if (w[0] == "keys")  // typed at the end
            field(w[1], w[2])->setFocus(), field(w[1], w[2])->end(false), QTest::keyClicks(field(w[1], w[2]), rest);
        else if (w[0] == "save" || w[0] == "quit")
            QTest::mouseClick(find(w[0] == "quit" ? "QuitCMD" : arg + "SaveCMD"), Qt::LeftButton);
        else if (w[0] == "closebox") window.close();
        else if (w[0] == "fail") w[1] == "flush" ? void(flushFails = true) : void(writesBeforeFailure = w[1].toInt());
        else if (w[0] == "short") shortWrite = w[1].toInt(), writesBeforeFailure = 0;
        else if (w[0] == "move") made[w[2]] = made[w[1]], std::rename(bytes(w[1]), bytes(w[2]));
        else if (w[0] == "link") QFile::link(arg, path(arg));
        else if (w[0] == "delete") QFile::remove(path(arg));
        else if (w[0] == "truncate")
            QFile::resize(path(w[1]), w[2].toInt(nullptr, 0)), made[w[1]].truncate(w[2].toInt(nullptr, 0));
        else if (w[0] == "lock") {  // another program's lock, held as long as the test runs
            QVERIFY(other.Open(path(w[1]).toStdString()).ok());
            QVERIFY(other.LockForWriting(std::chrono::milliseconds(0)).ok());
            window.writerLockPatience = std::chrono::milliseconds(w.value(2).toInt());
        }
        else if (w[0] == "note") noted << query("info");
        else QFAIL(qPrintable("unknown step: " + step));
    }

    QString query(const QString& what) {
        QStringList parts;
        if (what == "caption") return window.windowTitle();
        if (what == "box") return desktop.messages.value(boxesSeen++).replace(folder.path(), "DIR");
        if (what == "focus") return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none";
        if (what == "ran") return ran.join(' ');
        if (what == "noted") return noted.join(" / ");
        if (what == "info") return find<QLabel>("InfoLBL")->text() + (QApplication::overrideCursor() ? ", busy" : "");
        if (what.startsWith("flash")) return flashes.value(what.section(' ', 1));
        if (what.startsWith("file")) return changes(what.section(' ', 1));
        // the last Open ROM dialog
        const OpenFileRequest asked = desktop.fileRequests.value(desktop.fileRequests.size() - 1);
        if (what == "dialog")
            return asked.filters.join(" / ") + QString(", #%1, ").arg(asked.selectedFilter) +
                   QString(asked.fileName).replace(folder.path(), "DIR");
        for (int code : desktop.endCalls) if (what == "end") parts << QString::number(code);
        for (QAction* menu : what == "menus" ? window.menuBar()->actions() : QList<QAction*>())
            for (QAction* item : QList{menu} + menu->menu()->actions())
                parts << (item->isSeparator() ? "-,"
                                              : (item->text() + " " + item->shortcut().toString()).trimmed() + ",");
        for (QObject* control : window.findChildren<QObject*>(QRegularExpression("^mnu(?!Sep)|(LST|TXT|CMD|TAB)$")))
            if (what == "enabled" && control->property("enabled").toBool()) parts << control->objectName();
        for (const QString& who : Characters) {
            if (what == "panels" ? find(who + "FRM")->isVisible()
                                 : what == "saves" && find(who + "SaveCMD")->isEnabled()) parts << who;
            if (what == who + " captions")
                for (QLabel* label : find(who + "FRM")->findChildren<QLabel*>()) parts << label->text();
        }
        if (what == "panels") parts << QString("(tab %1)").arg(find<QTabWidget>("SelectLevelsTAB")->currentIndex());
        if (Characters.contains(what)) {
            for (const QString& stem : Stems) if (field(what, stem)) parts << field(what, stem)->text();
            return QString("level %1: ").arg(list(what)->selectionModel()->selectedRows().value(0).row() + 1) +
                   parts.join('|');
        }
        return what == "enabled" && parts.size() == 13 + 28 ? "all" : parts.join(' ');
    }

    // How a file differs from what the test wrote: the level records changed
    // (the three tables lie end to end: Hero, Girl, Sprite), a run of equal
    // ones in one entry, and any other byte.
    QString changes(const QString& name) const {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly)) return "gone";
        QByteArray now = file.readAll(), was = made[name];
        QStringList runs;
        for (int r = 0, level = 1, first = 0; r < 3 * 99 && now.size() == was.size(); ++r, level = r % 99 + 1) {
            const qsizetype at = 0x104210 + 8 * r;
            const QString who = QStringList{"Hero", "Girl", "Sprite"}[r / 99], bytes = now.mid(at, 8).toHex(' ');
            if (now.mid(at, 8) == was.mid(at, 8)) first = 0;
            else if (first && level > 1 && runs.last().endsWith(bytes))
                runs.last() = QString("%1 %2-%3: %4").arg(who).arg(first).arg(level).arg(bytes);
            else runs << QString("%1 %2: %3").arg(who).arg(first = level).arg(bytes);
            was.replace(at, 8, now.mid(at, 8));
        }
        if (was != now) runs << QString("other bytes, %1 in all").arg(now.size());
        return runs.isEmpty() ? "unchanged" : runs.join(", ");
    }
};

}  // namespace thornwake::test

using namespace thornwake::test;

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init() {
        writesBeforeFailure = -1;
        shortWrite = 0;
        flushFails = false;
    }

    void scenario_data();

    // Runs the steps, then asks about each thing the row lists. Every message
    // box shown must be listed.
    void scenario() {
        QFETCH(QString, steps);
        QFETCH(QStringList, expected);
        if (const QString why = WhyNotHere(); !why.isEmpty()) QSKIP(qPrintable(why));
        Editor e;
        for (const QString& step : steps.split("; ", Qt::SkipEmptyParts)) e.run(step);
        QStringList seen;  // "…" in a line stands for any text: how far a run got, worded by the image layer
        for (const QString& line : expected)
            seen << line.section(": ", 0, 0) + ": " + e.query(line.section(": ", 0, 0));
        for (qsizetype i = 0, cut; i < seen.size(); ++i)
            if ((cut = expected[i].indexOf(u'…')) > 0 && seen[i].startsWith(expected[i].left(cut)) &&
                seen[i].endsWith(expected[i].mid(cut + 1))) seen[i] = expected[i];
        QCOMPARE(seen, expected);
        QCOMPARE(e.desktop.messages.mid(e.boxesSeen), QStringList());
    }

    // The desktop's own Open dialog where it has one; each entry shown by its caption alone.
    void openDialog() {
        QFileDialog dialog;
        PrepareOpenFileDialog(dialog, thornwake::OpenFileRequest{thornwake::RomFileFilters(),
                                                                 thornwake::PreselectedRomFilter, {}});
        QCOMPARE(dialog.options(), QFileDialog().options() | QFileDialog::HideNameFilterDetails);
        const auto* shown = dialog.findChild<QComboBox*>("fileTypeCombo");
        QStringList captions;
        for (int i = 0; i < shown->count(); ++i)
            captions << (i == shown->currentIndex() ? "> " : "") + shown->itemText(i);
        QCOMPARE(captions, QStringList({"All Files (*.*)", "> All SNES ROM Files (*.swc, *.smc, *.fig)",
                                        "Super MagiCom ROM File (*.smc)", "Super Wild Card ROM File (*.swc)",
                                        "Super UFO 8/Pro Fighter X ROM File (*.fig)"}));
    }

    // The client area; each panel in the tab page, below the strip; every
    // control of the window and the panels inside its parent, its caption within its box.
    void layout() {
        Editor e;
        QVERIFY(e.window.centralWidget()->size() == QSize(353, 360) &&
                e.find("SelectLevelsTAB")->findChild<QTabBar*>()->geometry().bottom() + 4 < 36);
        for (QWidget* w : e.window.centralWidget()->findChildren<QWidget*>(
                 QRegularExpression("(FRM|LST|TXT|CMD|TAB|LBL|IMG|^Label\\d+)$"))) {
            const int frame = qobject_cast<QPushButton*>(w) ? 8 : 0,
                      width = w->fontMetrics().horizontalAdvance(w->property("text").toString().remove('&'));
            QVERIFY2(width + frame <= w->width() && w->parentWidget()->rect().contains(w->geometry()),
                     qPrintable(w->objectName()));
            if (w->objectName().endsWith("FRM")) QCOMPARE(w->geometry(), QRect(14, 36, 323, 279));
        }
    }
};

// Rows: the steps ("; " between them), then what is seen. Images: a.smc and
// b.swc, 1 MiB + 64 KiB of a pattern each; others made by a step.
void TestMainWindow::scenario_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("expected");
    const QString closed = "enabled: mnuFile mnuOpen mnuQuit mnuFeatures mnuHelp mnuWWW mnuAbout QuitCMD",
                  versioned = "caption: Thornwake Level & Stat Editor (v0.22b)";
    const QString hero1 = "Hero: level 1: -5015|247|127|7|138|18",
                  sprite5 = "Sprite: level 5: -32006|10|141|21|152|32|163";
    const QString dialog = "dialog: All Files (*.*) (*) / All SNES ROM Files (*.swc, *.smc, *.fig) (*.smc *.swc *.fig "
                           "*.sfc) / Super MagiCom ROM File (*.smc) (*.smc) / Super Wild Card ROM File (*.swc) "
                           "(*.swc) / Super UFO 8/Pro Fighter X ROM File (*.fig) (*.fig), #1, ";
    auto box = [](const QString& title, const QString& text) {
        return "box: icon 2 | " + title + " | " + text + " | buttons 400 | default 400"; };
    auto confirm = [](const QString& whose) {
        return "box: icon 4 | Are you sure about that? | Are you sure you want to Maximize " + whose +
               " stats?  This cannot be undone! | buttons 14000 | default 4000"; };
    QTest::addRow("start-up") << "menu mnuMaxAll" << QStringList{"caption: Thornwake Level Stat Editor", closed,
        "panels: (tab 0)", "focus: QuitCMD", "Hero: level 0: |||||", "Sprite: level 0: ||||||",
        "Girl: level 0: ||||||", "Sprite captions: HP: MP: Strength Agility Constitution: Intelligence: Wisdom: Saved!",
        "menus: &File, &Open ROM Ctrl+O, -, &Close ROM Ctrl+U, -, &Quit Ctrl+Q, Fea&tures, "
        "Maximize Hero's Level Stats F6, Maximize Sprite's Level Stats F7, Maximize Girl's Level Stats F8, -, "
        "Maximize Everyone's Level Stats F9, -, Level &Table... Ctrl+T, &Help, Visit quillfern-soft.example F12, -, "
        "&About F1,"};
    QTest::addRow("open, quit") << "open a.smc; quit; open b.swc" << QStringList{versioned, "enabled: all",
        "panels: Hero (tab 0)", hero1, "saves: Hero Sprite Girl", "Sprite: level 0: ||||||", "file a.smc: unchanged",
        "end: 0"};
    QTest::addRow("close keeps texts") << "open a.smc; tab 1; row Sprite 5; row Hero 4; menu mnuClose" << QStringList{
        versioned, closed, "panels: (tab 1)", sprite5, "Hero: level 4: 30189|128|8|139|19|150", "focus: QuitCMD"};
    // Opened from a field, the image's level list takes the focus: a Space then cannot hit Quit.
    QTest::addRow("open from a field") << "open a.smc; press HeroHPTXT Ctrl+O"
                                       << QStringList{hero1, "focus: HeroLevelLST"};
    QTest::addRow("another image") << "open a.smc; tab 1; row Sprite 5; open b.swc" << QStringList{
        "panels: Hero (tab 0)", "Hero: level 1: 634|13|144|24|155|35", sprite5, dialog + "DIR/a.smc",
        "file a.smc: unchanged", "file b.swc: unchanged"};
    QTest::addRow("cancel first, close box") << "open; closebox" << QStringList{
        versioned, closed, "panels: (tab 0)", dialog, "end: 0"};
    QTest::addRow("cancel reopens") << "open a.smc; row Hero 7; tab 2; poke a.smc 0x104213 201; open" << QStringList{
        "enabled: all", "panels: Hero (tab 0)", "Hero: level 1: -5015|201|127|7|138|18", dialog + "DIR/a.smc"};
    QTest::addRow("tab click") << "open a.smc; row Sprite 3; set Hero HP 77; focus HeroHPTXT; tab 1" << QStringList{
        "panels: Sprite (tab 1)", "saves: Hero Girl", "Hero: level 1: 77|247|127|7|138|18",
        "focus: qt_tabwidget_tabbar"};
    // Loads and saves follow the selection: focus arriving in a list picks
    // nothing; a click on the entry picked reads it again; Ctrl+click unpicks it.
    QTest::addRow("focus into a list") << "open a.smc; tab 1; press SpriteHPTXT Shift+Tab" << QStringList{
        "focus: SpriteLevelLST", "Sprite: level 0: ||||||", "saves: Hero Girl"};
    QTest::addRow("focus into a list, Down")
        << "open a.smc; tab 1; press SpriteHPTXT Shift+Tab; press SpriteLevelLST Down"
        << QStringList{"Sprite: level 1: -12982|85|216|96|227|107|238"};
    QTest::addRow("click on the entry picked") << "open a.smc; tab 1; click Sprite 5; set Sprite HP 7; click Sprite 5"
                                               << QStringList{sprite5, "saves: Hero Sprite Girl"};
    QTest::addRow("Ctrl+click") << "open a.smc; tab 1; click Sprite 5; click Sprite 5 ctrl; save Sprite" << QStringList{
        "Sprite: level 0: -32006|10|141|21|152|32|163", "saves: Hero Girl", "file a.smc: unchanged"};
    // Every shortcut from every kind of control, also one that binds the key itself (as a line edit binds
    // Ctrl+U on X11).
    for (const char* control : {"HeroLevelLST", "HeroHPTXT", "HeroSaveCMD", "QuitCMD", "qt_tabwidget_tabbar"})
        QTest::addRow("shortcuts from %s", control) << QString("open a.smc; bind %1; answer No; answer No; answer No; "
            "answer No; press %1 F1 F12 F6 F7 F8 F9 Ctrl+T Ctrl+O Ctrl+Q Ctrl+U").arg(control) << QStringList{
            "ran: mnuOpen mnuAbout mnuWWW mnuMaxHero mnuMaxSprite mnuMaxGirl mnuMaxAll mnuLevelTable mnuOpen mnuQuit "
            "mnuClose", confirm("the Hero's"), confirm("the Sprite's"), confirm("the Girl's"), confirm("everyone's"),
            "end: 0"};
    const QString refused = box("Cannot Proceed",
                                "This ROM has a 200 byte header that must be removed before using this program.");
    QTest::addRow("refused") << "make big.smc 3146241; open big.smc; open a.smc" << QStringList{
        refused, "end: 1", "Hero: level 0: |||||", "file big.smc: unchanged"};
    const QString missing = box("Cannot Open ROM", "Cannot open \"DIR/none.smc\": " + SystemReason(ENOENT) + ".");
    QTest::addRow("no file, not a file (Linux only: /dev/null is a device there)")
        << "open none.smc; open /dev/null" << QStringList{
        missing, box("Cannot Open ROM", "/dev/null is not a regular file."), closed, "end: ", "file none.smc: gone"};
    // A file named at start opens as Open ROM opens one; the dialog then starts there.
    QTest::addRow("file at start") << "start a.smc"
                                   << QStringList{versioned, "enabled: all", hero1, "file a.smc: unchanged"};
    QTest::addRow("open after start") << "start a.smc; open b.swc" << QStringList{dialog + "DIR/a.smc"};
    QTest::addRow("refused file at start") << "make big.smc 2097664; start big.smc; open a.smc"
                                           << QStringList{refused, "end: 1", "Hero: level 0: |||||"};
    QTest::addRow("missing file at start") << "start none.smc; open"
                                           << QStringList{missing, missing, closed, dialog + "DIR/none.smc"};
    // The system's own reason; a name that is not UTF-8 opens from the command line and from the dialog.
    QTest::addRow("symlink loop (Linux only: Wine does not see the links as Linux does)")
        << "link loop; start loop" << QStringList{
        box("Cannot Open ROM", "Cannot open \"DIR/loop\": Too many levels of symbolic links."), closed};
    QTest::addRow("not UTF-8 (Linux only: a name on Windows is UTF-16)")
        << "move a.smc %E9t%E9.smc; start %E9t%E9.smc; open; open %E9t%E9.smc"
        << QStringList{"enabled: all", hero1, dialog + "DIR/\uFFFDt\uFFFD.smc"};
    // Not before the window is on the screen, so that the box stands over it.
    QTest::addRow("file at start, window hidden") << "make big.smc 2097664; hide; start big.smc"
                                                  << QStringList{"end: "};
    QTest::addRow("short image") << "make short.smc 0x104844; open short.smc; row Sprite 2; menu mnuMaxAll"
                                 << QStringList{
        box("Cannot Read Level", "Level 2 of the Sprite could not be read.\n\nCannot read 2 byte(s) at offset "
                                 "0x104848: the file \"DIR/short.smc\" is only 1067076 bytes long."),
        "saves: Hero Girl", "Sprite: level 2: ||||||", confirm("everyone's"),
        box("Cannot Maximize", "Cannot write 8 byte(s) at offset 0x104840: the file \"DIR/short.smc\" is only "
                               "1067076 bytes long.\n\nNothing was written."),
        "file short.smc: unchanged"};
    // Typing stops at 3 characters for HP and MP, 2 for the others; longer text read from the file cannot be
    // lengthened.
    QTest::addRow("save typed") << "open a.smc; row Sprite 7; set Sprite HP ; keys Sprite HP -9876; set Sprite MP ; "
        "keys Sprite MP 2555; set Sprite STR 8; set Sprite CON ; keys Sprite CON 123; set Sprite WIS 255; save Sprite"
        << QStringList{"Sprite: level 7: -98|255|8|109|12|120|255", "flash Sprite: +-+-+-", "saves: Hero Sprite Girl",
                       "file a.smc: Sprite 7: 9e ff ff 08 6d 0c 78 ff"};
    QTest::addRow("save as read") << "poke a.smc 0x104213 200; poke a.smc 0x104210 232; poke a.smc 0x104211 3; "
        "open a.smc; row Hero 2; row Hero 1; keys Hero HP 5; keys Hero STR 1; save Hero"
        << QStringList{"Hero: level 1: 1000|200|127|7|138|18", "file a.smc: Hero 1: e8 03 00 c8 7f 07 8a 12"};
    // The box names the field; nothing is written or flashed, the texts stay and the field has the focus.
    for (const auto& [stem, text, message, texts] : {
             std::tuple{"HP", "32768", "HP must be a whole number from -32768 to 32767.", "32768|195|75|42|86|217|97"},
             {"MP", "256", "MP must be a whole number from 0 to 255.", "16568|256|75|42|86|217|97"}})
        QTest::addRow("rejected %s %s", stem, text)
            << QString("open a.smc; tab 2; row Girl 6; set Girl AGI 42; set Girl %1 %2; save Girl").arg(stem, text)
            << QStringList{box("Cannot Save Level", message), QString("focus: Girl%1TXT").arg(stem), "flash Girl: ",
                           "file a.smc: unchanged", QString("Girl: level 6: ") + texts};
    for (const auto& [item, whose, title, done, bytes] : {
             std::tuple{"Hero", "the Hero's", "Max'd the Hero!",
                        "All 99 of the Hero's Level Stats are set to 999 HP", "Hero 1-99: e7 03 00"},
             {"Sprite", "the Sprite's", "Max'd the Sprite!",
              "All 99 of the Sprite's Level Stats are set to 999 HP", "Sprite 1-99: e7 03 63"},
             {"Girl", "the Girl's", "Max'd the Girl!",
              "All 99 of the Girl's Level Stats are set to 999 HP / 99 MP", "Girl 1-99: e7 03 63"},
             {"All", "everyone's", "Max'd them all!",
              "All 99 of each of the character's Level Stats are set to 999 HP / 99 MP",
              "Hero 1-99: e7 03 00 63 63 63 63 63, Girl 1-99: e7 03 63 63 63 63 63 63, Sprite 1-99: e7 03 63"}}) {
        QTest::addRow("maximize %s, Yes", item) << QString("open a.smc; row Sprite 5; menu mnuMax%1").arg(item)
            << QStringList{confirm(whose),
                           QString("box: icon 1 | %1 | %2 and 99 Strength, 99 Agility, 99 Constitution, "
                                   "99 Intelligence and 99 Wisdom. | buttons 400 | default 400").arg(title, done),
                           QString("file a.smc: %1 63 63 63 63 63").arg(bytes), hero1, sprite5};
    }
    QTest::addRow("maximize, No") << "open a.smc; answer No; menu mnuMaxAll"
                                  << QStringList{confirm("everyone's"), "file a.smc: unchanged"};
    // The image changed, taken or failing: nothing is written, or the box says what was.
    const QString moved = "DIR/a.smc was moved, replaced or deleted since it was opened. Open it again.",
                  locked = "DIR/a.smc is being changed by another program.",
                  resized = "DIR/a.smc changed size since it was opened (1114112 bytes then, 1067116 now). Open it again.",
                  level6 = "Level 6 of the Sprite could not be saved.\n\n", old = "file a.smc: unchanged",
                  none = "\n\nNothing was written.";
    for (const auto& [trouble, text, file] : {std::tuple{"lock a.smc", level6 + locked + none, old},
             {"move a.smc c.smc", level6 + moved + none, "file c.smc: unchanged"},
             {"delete a.smc", level6 + moved + none, "file a.smc: gone"},
             {"truncate a.smc 0x10486C", level6 + resized + none, old},
             {"fail 0", level6 + "Cannot write \"DIR/a.smc\": " + SystemReason(ENOSPC) + "." + none, old},
             {"short 3", level6 + "Cannot write \"DIR/a.smc\": " + SystemReason(ENOSPC) + ".\n\nLevel 6 of the Sprite "
              "is incomplete: its HP and MP reached the file; the other fields kept their old values.",
              "file a.smc: Sprite 6: ff ff 07 b9 41 c4 4c cf"},
             {"fail flush", level6 + "Cannot flush \"DIR/a.smc\" to disk: " + SystemReason(EIO) + ".\n\n"
              "The new values are in the file, but the system could not confirm that they reached the disk.",
              "file a.smc: Sprite 6: ff ff 07 08 41 c4 4c 09"},
             {"poke a.smc 0x10486B 77", "Level 6 of the Sprite was changed by another program since you picked it. "
              "Pick the level again to see what the file holds.", old}})
        QTest::addRow("save, %s%s", trouble, QByteArray(trouble).startsWith("delete") ? DeletedWhileOpen : "")
            << QString("open a.smc; row Sprite 6; set Sprite HP -1; set Sprite MP 7; "
                       "set Sprite STR 8; set Sprite WIS 9; %1; save Sprite").arg(trouble)
            << QStringList{box("Cannot Save Level", text), file, "flash Sprite: "};
    for (const auto& [trouble, text, file] : {std::tuple{"lock a.smc", locked + none, old},
             {"move a.smc c.smc", moved + none, "file c.smc: unchanged"},
             {"truncate a.smc 0x10486C", resized + none, old},
             {"fail 20", "Cannot write \"DIR/a.smc\": " + SystemReason(ENOSPC) + ".\n\n"
              "Sprite levels 1 to 20 reached the file whole. The other levels were not written.",
              "file a.smc: Sprite 1-20: e7 03 63 63 63 63 63 63"}})
        QTest::addRow("maximize, %s", trouble) << QString("open a.smc; %1; menu mnuMaxSprite").arg(trouble)
            << QStringList{confirm("the Sprite's"), box("Cannot Maximize", text), file};
    // While another program holds the lock, the window says so and shows a busy cursor.
    QTest::addRow("save, waiting") << "open a.smc; lock a.smc 100; later note; save Hero" << QStringList{
        box("Cannot Save Level", "Level 1 of the Hero could not be saved.\n\n" + locked + none),
        "noted: Waiting for another program to finish..., busy", "info: Info goes here!!!"};
    // A save after a maximize writes the values shown, as read before it.
    QTest::addRow("save after maximize") << "open a.smc; menu mnuMaxHero; save Hero" << QStringList{confirm("the Hero's"),
        "box: icon 1 | Max'd the Hero! | All 99 of the Hero's Level Stats are set to 999 HP and 99 Strength, "
        "99 Agility, 99 Constitution, 99 Intelligence and 99 Wisdom. | buttons 400 | default 400",
        "file a.smc: Hero 1: 69 ec 00 f7 7f 07 8a 12, Hero 2-99: e7 03 00 63 63 63 63 63"};
    // A command chosen while a save flashes: the file holds what was written
    // before it, and nothing reaches a closed or another file.
    const QString steps = "open a.smc; set Hero WIS 66; later %1; save Hero",
                  saved = "file a.smc: Hero 1: 69 ec 00 f7 7f 07 8a 42";
    QTest::addRow("save / Close ROM") << steps.arg("menu mnuClose")
                                      << QStringList{saved, "flash Hero: +-+-+-", closed, "end: "};
    QTest::addRow("save / Open ROM") << steps.arg("open b.swc") << QStringList{saved, "flash Hero: +-+-+-",
        "file b.swc: unchanged", "enabled: all", "Hero: level 1: 634|13|144|24|155|35"};
    QTest::addRow("save / Quit") << steps.arg("quit") << QStringList{saved, "flash Hero: +-", "end: 0"};
    // While a maximize run writes, nothing else writes or closes the image;
    // Quit stops the run after its record and says what reached the file.
    for (const auto& [item, whose, first] : {std::tuple{"Sprite", "the Sprite's", "Sprite"},
                                             {"All", "everyone's", "Hero"}}) {
        const QString run = QString("open a.smc; set Hero WIS 66; later %1; menu mnuMax") + item;
        const QString all = QString(item) == "All" ? "file a.smc: Hero 1-99: e7 03 00 63 63 63 63 63, Girl 1-99: "
                                                     "e7 03 63 63 63 63 63 63, Sprite 1-99: e7 03 63 63 63 63 63 63"
                                                   : "file a.smc: Sprite 1-99: e7 03 63 63 63 63 63 63";
        for (const char* nested : {"menu mnuClose", "open b.swc", "save Hero", "menu mnuMaxHero", "menu mnuLevelTable"})
            QTest::addRow("maximize %s / %s", item, nested) << run.arg(nested) << QStringList{confirm(whose),
                QString("box: icon 1 | %1 | …").arg(QString(item) == "All" ? "Max'd them all!" : "Max'd the Sprite!"),
                all, "flash Hero: ", "enabled: all", "file b.swc: unchanged"};
        // The close box as Quit.
        QTest::addRow("maximize %s / Quit", item) << run.arg(first == QString("Hero") ? "closebox" : "quit")
                                                  << QStringList{confirm(whose),
            QString("box: icon 1 | Maximize Stopped | Quit stopped the maximize run.\n\n%1 level 1 was written "
                    "before the run was stopped; the other levels were not written. | buttons 400 | default 400")
                .arg(first),
            QString("file a.smc: %1 1: e7 03 %2 63 63 63 63 63").arg(first, QString(first) == "Hero" ? "00" : "63"),
            "end: 0"};
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
