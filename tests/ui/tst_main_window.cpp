// The main window's layout, start-up state, Open/Close ROM, level selection
// and tabs.

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QMenu>
#include <QMenuBar>

#include "main/rom_file_dialog.h"
#include "main_test_support.h"

using namespace thornwake;
using namespace thornwake::test;

namespace {

const QStringList Characters{"Hero", "Sprite", "Girl"};
const QString Versioned = QStringLiteral("Thornwake Level & Stat Editor (v0.22b)");
const QStringList RomItems{"mnuClose", "mnuMaxHero", "mnuMaxSprite", "mnuMaxGirl", "mnuMaxAll"};

QList<QWidget*> EditingControls(const Editor& e, const QString& who) {
    QList<QWidget*> controls{e.list(who), e.find(who + "SaveCMD")};
    for (const QString& stem : Stems) {
        if (QWidget* f = e.field(who, stem)) controls << f;
    }
    return controls;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void startupState();
    void layoutAndNames();
    void menus();
    void focusOrder();
    void openFileFilters();
    void openImage();
    void refusedImageEndsProgram_data();
    void refusedImageEndsProgram();
    void cancelAndFailedOpen();
    void closeKeepsTextsAndSelections();
    void selectionReadsItsRecord_data();
    void selectionReadsItsRecord();
    void failedReadKeepsFieldsAndSaveDisabled();
    void typingLimits();
    void tabSwitch();
    void quitAndCloseBox();
};

void TestMainWindow::startupState() {
    Editor e;
    QCOMPARE(e.window->windowTitle(), QStringLiteral("Thornwake Level Stat Editor"));
    QVERIFY(!e.tabs()->isEnabled());
    QCOMPARE(e.tabs()->currentIndex(), 0);
    for (const QString& who : Characters) {
        QVERIFY2(e.find(who + "FRM")->isHidden(), qPrintable(who));
        QVERIFY(e.find(who + "SaveLBL")->isHidden());
        for (QWidget* control : EditingControls(e, who)) {
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        }
        QListWidget* list = e.list(who);
        QCOMPARE(list->count(), 99);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Level 1"));
        QCOMPARE(list->item(9)->text(), QStringLiteral("Level 10"));
        QCOMPARE(list->item(98)->text(), QStringLiteral("Level 99"));
        QCOMPARE(list->currentRow(), -1);
        QVERIFY(list->selectedItems().isEmpty());
        for (const QString& text : e.texts(who)) QVERIFY(text.isEmpty() || text == "-");
    }
    for (const QString& name : RomItems) QVERIFY2(!e.item(name)->isEnabled(), qPrintable(name));
    for (const char* name : {"mnuOpen", "mnuQuit", "mnuWWW", "mnuAbout"}) QVERIFY(e.item(name)->isEnabled());
    QCOMPARE(e.find<QLabel>("InfoLBL")->text(), QStringLiteral("Info goes here!!!"));
    QVERIFY(!e.find<QLabel>("InfoIMG")->pixmap().isNull());
    QVERIFY(!e.window->windowIcon().isNull());
    QCOMPARE(QApplication::focusWidget(), e.find("QuitCMD"));
    QVERIFY(e.desktop.messages.isEmpty());
}

void TestMainWindow::layoutAndNames() {
    Editor e;
    // Fixed size, the client area 353 x 360 below the menu bar; no min/max box.
    QCOMPARE(e.window->centralWidget()->size(), QSize(353, 360));
    QCOMPARE(e.window->minimumSize(), e.window->maximumSize());
    QCOMPARE(e.window->height(), 360 + e.window->menuBar()->height());
    const Qt::WindowFlags flags = e.window->windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint) && !(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);

    QCOMPARE(e.tabs()->geometry(), QRect(6, 4, 339, 321));
    QCOMPARE(e.find("QuitCMD")->geometry(), QRect(242, 332, 103, 21));
    QCOMPARE(e.find("InfoLBL")->geometry(), QRect(28, 334, 209, 17));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(e.tabs()->tabText(i), Characters[i] + "'s Levels");
        QCOMPARE(e.tabs()->tabBar()->tabData(i).toString(), Characters[i] + "LVLs");
        QWidget* frame = e.find(Characters[i] + "FRM");
        QCOMPARE(frame->geometry(), QRect(14, 36, 323, 279));
        QCOMPARE(e.list(Characters[i])->geometry(), QRect(12, 16, 93, 251));
        QCOMPARE(e.find(Characters[i] + "SaveCMD")->geometry(), QRect(212, 250, 103, 21));
        QCOMPARE(e.find<QPushButton>(Characters[i] + "SaveCMD")->text(), QStringLiteral("Save Level"));
    }
    // The Hero's rows keep their places, with a gap where MP stands.
    QVERIFY(!e.field("Hero", "MP"));
    QCOMPARE(e.field("Hero", "STR")->geometry(), QRect(207, 64, 107, 21));
    QCOMPARE(e.field("Girl", "MP")->geometry(), QRect(207, 40, 107, 21));
    QCOMPARE(e.field("Sprite", "WIS")->geometry(), QRect(207, 160, 107, 21));

    // Stat labels: numbered names, captions, buddies; accessible names.
    const QStringList captions{"HP:", "MP:", "Strength", "Agility", "Constitution:", "Intelligence:", "Wisdom:"};
    const QStringList names{"HP", "MP", "Strength", "Agility", "Constitution", "Intelligence", "Wisdom"};
    const QList<QStringList> labels{
        {"Label2", "", "Label3", "Label5", "Label4", "Label1", "Label10"},
        {"Label8", "Label19", "Label9", "Label11", "Label12", "Label7", "Label13"},
        {"Label17", "Label20", "Label16", "Label15", "Label14", "Label18", "Label6"}};
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(e.list(Characters[c])->accessibleName(), Characters[c] + " levels");
        for (int row = 0; row < 7; ++row) {
            if (labels[c][row].isEmpty()) continue;
            auto* label = e.find<QLabel>(labels[c][row]);
            QVERIFY2(label, qPrintable(labels[c][row]));
            QCOMPARE(label->text(), captions[row]);
            QCOMPARE(label->buddy(), e.field(Characters[c], Stems[row]));
            QCOMPARE(e.field(Characters[c], Stems[row])->accessibleName(), Characters[c] + " " + names[row]);
        }
    }

    // Fonts: Tahoma 8.25 pt where the system or Wine has it; "Saved!" red, bold, 11.25 pt.
    if (QFile::exists("/usr/share/wine/fonts/tahoma.ttf")) {
        QCOMPARE(QFontInfo(e.field("Hero", "HP")->font()).family(), QStringLiteral("Tahoma"));
    }
    QCOMPARE(e.window->font().pointSizeF(), 8.25);
    auto* saved = e.find<QLabel>("GirlSaveLBL");
    QCOMPARE(saved->text(), QStringLiteral("Saved!"));
    QVERIFY(saved->font().bold());
    QCOMPARE(saved->font().pointSizeF(), 11.25);
    QCOMPARE(saved->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(saved->alignment() & Qt::AlignHCenter);
    // Every caption fits its box.
    for (QWidget* control : e.window->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(control);
        auto* button = qobject_cast<QPushButton*>(control);
        const QString text = label ? label->text() : button ? button->text().remove('&') : QString();
        if (text.isEmpty()) continue;
        const int room = control->width() - (button ? 8 : 0);
        QVERIFY2(control->fontMetrics().horizontalAdvance(text) <= room, qPrintable(text));
    }
}

void TestMainWindow::menus() {
    Editor e;
    const QList<QPair<QString, QStringList>> expected{
        {"&File", {"mnuOpen|&Open ROM|Ctrl+O", "nmuSep1", "mnuClose|&Close ROM|Ctrl+U", "mnuSep2",
                   "mnuQuit|&Quit|Ctrl+Q"}},
        {"Fea&tures", {"mnuMaxHero|Maximize Hero's Level Stats|F6",
                       "mnuMaxSprite|Maximize Sprite's Level Stats|F7",
                       "mnuMaxGirl|Maximize Girl's Level Stats|F8", "mnuSep3",
                       "mnuMaxAll|Maximize Everyone's Level Stats|F9"}},
        {"&Help", {"mnuWWW|Visit quillfern-soft.example|F12", "mnuSep4", "mnuAbout|&About|F1"}},
    };
    const QList<QAction*> menus = e.window->menuBar()->actions();
    QCOMPARE(menus.size(), expected.size());
    for (int m = 0; m < menus.size(); ++m) {
        QCOMPARE(menus[m]->text(), expected[m].first);
        QVERIFY(menus[m]->isEnabled());
        QStringList items;
        for (QAction* item : menus[m]->menu()->actions()) {
            items << (item->isSeparator() ? item->objectName()
                                          : item->objectName() + "|" + item->text() + "|" +
                                                item->shortcut().toString());
        }
        QCOMPARE(items, expected[m].second);
    }
    // Shortcuts reach the shown window; a disabled item's shortcut does nothing.
    QTest::keyClick(e.window.get(), Qt::Key_F9);
    QVERIFY(e.desktop.messages.isEmpty());
    QTest::keyClick(e.window.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(e.desktop.fileRequests.size(), 1);
}

void TestMainWindow::focusOrder() {
    Editor e;
    e.open(e.makeImage("a.smc", PatternImage()));
    QStringList expected;
    for (const QString& who : Characters) {
        expected << who + "LevelLST";
        for (const QString& stem : Stems) {
            if (e.field(who, stem)) expected << who + stem + "TXT";
        }
        expected << who + "SaveCMD";
    }
    expected << "QuitCMD";
    QStringList chain;
    QWidget* w = e.list("Hero");
    while (chain.size() < expected.size() && w) {
        if (expected.contains(w->objectName())) chain << w->objectName();
        w = w->nextInFocusChain();
    }
    QCOMPARE(chain, expected);
    // The tab strip follows the Quit button.
    w = e.find("QuitCMD")->nextInFocusChain();
    while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    QVERIFY(w == e.tabs() || w == e.tabs()->tabBar());
}

void TestMainWindow::openFileFilters() {
    Editor e;
    e.open(e.makeImage("a.smc", PatternImage()));
    QCOMPARE(e.desktop.fileRequests.size(), 1);
    const OpenFileRequest request = e.desktop.fileRequests[0];
    QCOMPARE(request.selectedFilter, 1);
    QVERIFY(request.fileName.isEmpty());

    // What the dialog shows, and which files each entry lists.
    QFileDialog dialog;
    PrepareOpenFileDialog(dialog, request);
    auto* combo = dialog.findChild<QComboBox*>("fileTypeCombo");
    auto* model = dialog.findChild<QFileSystemModel*>();
    QVERIFY(combo && model);
    const QStringList shown{"All Files (*.*)", "All SNES ROM Files (*.swc, *.smc, *.fig)",
                            "Super MagiCom ROM File (*.smc)", "Super Wild Card ROM File (*.swc)",
                            "Super UFO 8/Pro Fighter X ROM File (*.fig)"};
    const QStringList files{"a.smc", "b.SWC", "c.fig", "d.txt", "noext", "e.swc,", "f.smc.bak"};
    const QList<QStringList> listed{files, {"a.smc", "b.SWC", "c.fig"}, {"a.smc"}, {"b.SWC"}, {"c.fig"}};
    QCOMPARE(combo->count(), 5);
    QCOMPARE(combo->currentIndex(), 1);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(combo->itemText(i), shown[i]);
        QCOMPARE(ShownFilterDescription(request.filters[i]), shown[i]);
        dialog.selectNameFilter(request.filters[i]);
        QStringList matched;
        for (const QString& file : files) {
            if (QDir::match(model->nameFilters(), file)) matched << file;
        }
        QCOMPARE(matched, listed[i]);
    }
}

void TestMainWindow::openImage() {
    Editor e;
    const Bytes image = PatternImage();
    const QString path = e.makeImage("a.smc", image);
    e.open(path);
    QCOMPARE(e.window->windowTitle(), Versioned);
    QCOMPARE(e.list("Hero")->currentRow(), 0);
    QStringList hero = RecordTexts(image, HeroBase);
    hero[1] = "-";
    QCOMPARE(e.texts("Hero"), hero);
    QVERIFY(e.find("HeroFRM")->isVisible());
    QVERIFY(e.find("SpriteFRM")->isHidden() && e.find("GirlFRM")->isHidden());
    QVERIFY(e.tabs()->isEnabled());
    for (const QString& name : RomItems) QVERIFY(e.item(name)->isEnabled());
    for (const QString& who : Characters) {
        for (QWidget* control : EditingControls(e, who)) QVERIFY(control->isEnabled());
    }
    QVERIFY(e.desktop.messages.isEmpty());
    QCOMPARE(ReadFile(path), image);  // opening writes nothing

    // The next dialog shows the remembered name.
    e.open(path);
    QCOMPARE(e.desktop.fileRequests.last().fileName, path);
}

void TestMainWindow::refusedImageEndsProgram_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("refused");
    QTest::newRow("2 MiB + 512 header") << 2097664 << true;
    QTest::newRow("one byte less") << 2097663 << false;
    QTest::newRow("3 MiB + 512") << 3146240 << false;
    QTest::newRow("one byte more") << 3146241 << true;
}

void TestMainWindow::refusedImageEndsProgram() {
    QFETCH(int, size);
    QFETCH(bool, refused);
    Editor e;
    const Bytes image = PatternImage(static_cast<std::size_t>(size));
    const QString path = e.makeImage("big.smc", image);
    e.open(path);
    if (!refused) {
        QVERIFY(e.desktop.endCalls.isEmpty() && e.desktop.messages.isEmpty());
        QVERIFY(e.tabs()->isEnabled());
        return;
    }
    QCOMPARE(e.desktop.messages.size(), 1);
    const Message& box = e.desktop.messages[0];
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.title, QStringLiteral("Cannot Proceed"));
    QCOMPARE(box.text, QStringLiteral("This ROM has a 200 byte header that must be removed before using this program."));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(e.desktop.endCalls.size(), 1);
    QVERIFY(e.window->hasEnded());
    QVERIFY(!e.tabs()->isEnabled() && e.list("Hero")->currentRow() == -1);
    // Nothing runs after the end: no further command reaches the file.
    e.item("mnuOpen")->trigger();
    QCOMPARE(e.desktop.fileRequests.size(), 1);
    QCOMPARE(ReadFile(path), image);
}

void TestMainWindow::cancelAndFailedOpen() {
    Editor e;
    // Cancel at the first use: closed, silent.
    e.open(QString());
    QCOMPARE(e.window->windowTitle(), Versioned);
    QVERIFY(!e.tabs()->isEnabled() && !e.item("mnuClose")->isEnabled());
    QVERIFY(e.desktop.messages.isEmpty() && e.desktop.endCalls.isEmpty());

    // A path that cannot be opened: a warning naming it and the reason.
    const QString missing = e.folder.filePath("no such folder/a.smc");
    e.open(missing);
    QCOMPARE(e.desktop.messages.size(), 1);
    QCOMPARE(e.desktop.messages[0].icon, QMessageBox::Warning);
    QVERIFY2(e.desktop.messages[0].text.contains(missing), qPrintable(e.desktop.messages[0].text));
    QVERIFY(e.desktop.messages[0].text.contains("No such file or directory"));
    QVERIFY(!e.tabs()->isEnabled() && e.desktop.endCalls.isEmpty());

    // Cancel with a remembered name opens that image again, read anew.
    Bytes image = PatternImage();
    const QString path = e.makeImage("a.smc", image);
    e.open(path);
    e.list("Sprite")->setCurrentRow(4);
    e.list("Hero")->setCurrentRow(6);
    const QStringList sprite = e.texts("Sprite");
    image[HeroBase + 3] = 201;
    WriteFile(path, image);
    e.open(QString());
    QCOMPARE(e.desktop.fileRequests.last().fileName, path);
    QVERIFY(e.tabs()->isEnabled());
    QCOMPARE(e.list("Hero")->currentRow(), 0);
    QCOMPARE(e.field("Hero", "STR")->text(), QStringLiteral("201"));
    QCOMPARE(e.texts("Sprite"), sprite);
    QCOMPARE(e.desktop.messages.size(), 1);
}

void TestMainWindow::closeKeepsTextsAndSelections() {
    Editor e;
    const Bytes a = PatternImage(), b = PatternImage(ImageSize, 1);
    const QString pathA = e.makeImage("a.smc", a), pathB = e.makeImage("b.swc", b);
    e.open(pathA);
    e.clickTab(1);
    e.list("Sprite")->setCurrentRow(4);
    e.list("Hero")->setCurrentRow(3);
    const QStringList sprite = e.texts("Sprite"), hero = e.texts("Hero");

    e.item("mnuClose")->trigger();
    QCOMPARE(e.window->windowTitle(), Versioned);
    for (const QString& who : Characters) {
        QVERIFY(e.find(who + "FRM")->isHidden());
        for (QWidget* control : EditingControls(e, who)) QVERIFY(!control->isEnabled());
    }
    for (const QString& name : RomItems) QVERIFY(!e.item(name)->isEnabled());
    QVERIFY(!e.tabs()->isEnabled());
    QCOMPARE(e.tabs()->currentIndex(), 1);
    QCOMPARE(e.texts("Sprite"), sprite);
    QCOMPARE(e.texts("Hero"), hero);
    QCOMPARE(e.list("Sprite")->currentRow(), 4);
    QCOMPARE(e.list("Hero")->currentRow(), 3);

    // Opening B: the Hero tab and panel, Hero level 1 of B; Sprite keeps A's texts.
    e.open(pathB);
    QCOMPARE(e.tabs()->currentIndex(), 0);
    QVERIFY(e.find("HeroFRM")->isVisible() && e.find("SpriteFRM")->isHidden());
    QCOMPARE(e.field("Hero", "HP")->text(), RecordTexts(b, HeroBase)[0]);
    QCOMPARE(e.texts("Sprite"), sprite);
    QCOMPARE(e.list("Sprite")->currentRow(), 4);
    QVERIFY(e.find("SpriteSaveCMD")->isEnabled());
    QCOMPARE(ReadFile(pathA), a);
    QCOMPARE(ReadFile(pathB), b);
}

void TestMainWindow::selectionReadsItsRecord_data() {
    QTest::addColumn<QString>("who");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("offset");
    QTest::newRow("Hero level 1") << "Hero" << 0 << int(HeroBase);
    QTest::newRow("Hero level 99") << "Hero" << 98 << int(HeroBase + 8 * 98);
    QTest::newRow("Girl level 1") << "Girl" << 0 << 0x104528;
    QTest::newRow("Girl level 50") << "Girl" << 49 << int(GirlBase + 8 * 49);
    QTest::newRow("Sprite level 1") << "Sprite" << 0 << int(SpriteBase);
    QTest::newRow("Sprite level 99") << "Sprite" << 98 << 0x104B50;
}

void TestMainWindow::selectionReadsItsRecord() {
    QFETCH(QString, who);
    QFETCH(int, level);
    QFETCH(int, offset);
    Editor e;
    Bytes image = PatternImage();
    image[offset] = 0xFF;  // HP -1
    image[offset + 1] = 0xFF;
    image[offset + 3] = 200;  // a Strength longer than can be typed
    const QString path = e.makeImage("a.smc", image);
    e.open(path);
    e.list(who)->setCurrentRow(level == 0 ? 1 : 0);
    e.list(who)->setCurrentRow(level);
    QStringList expected = RecordTexts(image, offset);
    if (who == "Hero") expected[1] = "-";
    QCOMPARE(expected[0], QStringLiteral("-1"));
    QCOMPARE(e.texts(who), expected);
    QVERIFY(e.find(who + "SaveCMD")->isEnabled());
    QCOMPARE(ReadFile(path), image);
}

void TestMainWindow::failedReadKeepsFieldsAndSaveDisabled() {
    Editor e;
    // Ends inside the Girl table: the Hero's levels read, the Sprite's do not.
    const Bytes image = PatternImage(GirlBase + 4);
    e.open(e.makeImage("short.smc", image));
    QCOMPARE(e.field("Hero", "HP")->text(), RecordTexts(image, HeroBase)[0]);
    e.list("Sprite")->setCurrentRow(0);
    e.list("Girl")->setCurrentRow(0);  // the record is cut off after its MP byte
    QCOMPARE(e.desktop.messages.size(), 2);
    for (const Message& box : e.desktop.messages) {
        QCOMPARE(box.icon, QMessageBox::Warning);
        QVERIFY2(box.text.contains("short.smc"), qPrintable(box.text));
    }
    QVERIFY(e.texts("Sprite").join("").isEmpty() && e.texts("Girl").join("").isEmpty());
    QVERIFY(!e.find("SpriteSaveCMD")->isEnabled() && !e.find("GirlSaveCMD")->isEnabled());
    QVERIFY(e.tabs()->isEnabled() && e.item("mnuClose")->isEnabled());
    QVERIFY(e.desktop.endCalls.isEmpty());
}

void TestMainWindow::typingLimits() {
    Editor e;
    Bytes image = PatternImage();
    image[HeroBase + 3] = 200;
    e.open(e.makeImage("a.smc", image));
    QLineEdit* hp = e.field("Hero", "HP");
    QLineEdit* strength = e.field("Hero", "STR");
    QCOMPARE(strength->text(), QStringLiteral("200"));
    // Longer text from the file can be shortened but not lengthened or overtyped.
    strength->setFocus();
    strength->end(false);
    QTest::keyClick(strength, Qt::Key_5);
    QCOMPARE(strength->text(), QStringLiteral("200"));
    QTest::keyClick(strength, Qt::Key_Backspace);
    QCOMPARE(strength->text(), QStringLiteral("20"));
    QTest::keyClick(strength, Qt::Key_5);
    QCOMPARE(strength->text(), QStringLiteral("20"));
    strength->selectAll();
    QTest::keyClicks(strength, "1234");
    QCOMPARE(strength->text(), QStringLiteral("12"));
    hp->setFocus();
    hp->selectAll();
    QTest::keyClicks(hp, "-9876");
    QCOMPARE(hp->text(), QStringLiteral("-98"));
    e.list("Sprite")->setCurrentRow(0);
    QLineEdit* mp = e.field("Sprite", "MP");
    mp->setFocus();
    mp->selectAll();
    QTest::keyClicks(mp, "2555");
    QCOMPARE(mp->text(), QStringLiteral("255"));
}

void TestMainWindow::tabSwitch() {
    Editor e;
    const QString path = e.makeImage("a.smc", PatternImage());
    e.open(path);
    e.list("Sprite")->setCurrentRow(2);
    e.list("Girl")->setCurrentRow(3);
    e.field("Hero", "HP")->setText("77");  // an unsaved edit

    e.clickTab(1);
    QVERIFY(e.find("SpriteFRM")->isVisible());
    QVERIFY(e.find("HeroFRM")->isHidden() && e.find("GirlFRM")->isHidden());
    QVERIFY(!e.find("SpriteSaveCMD")->isEnabled());
    QVERIFY(e.find("HeroSaveCMD")->isEnabled() && e.find("GirlSaveCMD")->isEnabled());
    QVERIFY(e.list("Sprite")->isEnabled());
    // A click on the entry already selected reads it again and enables Save.
    QListWidget* sprite = e.list("Sprite");
    QTest::mouseClick(sprite->viewport(), Qt::LeftButton, {},
                      sprite->visualItemRect(sprite->item(2)).center());
    QVERIFY(e.find("SpriteSaveCMD")->isEnabled());

    e.clickTab(0);
    QVERIFY(e.find("HeroFRM")->isVisible() && e.find("SpriteFRM")->isHidden());
    QVERIFY(!e.find("HeroSaveCMD")->isEnabled());
    QCOMPARE(e.field("Hero", "HP")->text(), QStringLiteral("77"));
    QCOMPARE(e.list("Hero")->currentRow(), 0);
    QVERIFY(e.find("SpriteSaveCMD")->isEnabled());
    QVERIFY(e.desktop.messages.isEmpty());

    // A tab chosen by the program is not a click: reopening shows Hero, keeps Girl's Save.
    e.clickTab(2);
    QVERIFY(!e.find("GirlSaveCMD")->isEnabled());
    e.list("Girl")->setCurrentRow(4);
    e.open(path);
    QCOMPARE(e.tabs()->currentIndex(), 0);
    QVERIFY(e.find("HeroFRM")->isVisible() && e.find("GirlFRM")->isHidden());
    QVERIFY(e.find("GirlSaveCMD")->isEnabled() && e.find("HeroSaveCMD")->isEnabled());
}

void TestMainWindow::quitAndCloseBox() {
    for (const char* how : {"button", "menu", "ctrl+q", "close box"}) {
        Editor e;
        const Bytes image = PatternImage();
        const QString path = e.makeImage("a.smc", image);
        e.open(path);
        const QString way = QString::fromLatin1(how);
        if (way == "button") QTest::mouseClick(e.find("QuitCMD"), Qt::LeftButton);
        if (way == "menu") e.item("mnuQuit")->trigger();
        if (way == "ctrl+q") QTest::keyClick(e.window.get(), Qt::Key_Q, Qt::ControlModifier);
        if (way == "close box") e.window->close();
        QCOMPARE(e.desktop.endCalls, QList<int>{0});
        QVERIFY(e.window->hasEnded());
        QVERIFY(e.desktop.messages.isEmpty());
        QCOMPARE(ReadFile(path), image);
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
