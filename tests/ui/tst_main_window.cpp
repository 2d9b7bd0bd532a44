// The main window's start-up state, Open/Close ROM, level selection, typing
// and tabs.

#include "main/rom_file_dialog.h"
#include "main_test_support.h"

using namespace thornwake;
using namespace thornwake::test;

namespace {

// The controls and menu items not enabled as they must be with an image
// open, or with none.
QStringList WrongEnabled(const Editor& e, bool open) {
    QStringList wrong;
    auto expect = [&](QObject* control, bool enabled) {
        auto* widget = qobject_cast<QWidget*>(control);
        if ((widget ? widget->isEnabled() : qobject_cast<QAction*>(control)->isEnabled()) != enabled)
            wrong << control->objectName();
    };
    expect(e.tabs(), open);
    for (const char* name : {"mnuClose", "mnuMaxHero", "mnuMaxSprite", "mnuMaxGirl", "mnuMaxAll"}) expect(e.item(name), open);
    for (const char* name : {"mnuOpen", "mnuQuit", "mnuWWW", "mnuAbout"}) expect(e.item(name), true);
    expect(e.find("QuitCMD"), true);
    for (const QString& who : Characters) {
        expect(e.list(who), open);
        expect(e.save(who), open);
        for (const QString& stem : Stems) if (e.field(who, stem)) expect(e.field(who, stem), open);
    }
    return wrong;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void startupState() {
        Editor e;
        QCOMPARE(e.window.windowTitle(), QStringLiteral("Thornwake Level Stat Editor"));
        QCOMPARE(e.window.centralWidget()->size(), QSize(353, 360));
        QCOMPARE(WrongEnabled(e, false), QStringList());
        QCOMPARE(e.shownPanels(), QStringList());
        QCOMPARE(e.tabs()->currentIndex(), 0);
        QHash<QWidget*, QString> captionOf;
        for (QLabel* label : e.window.findChildren<QLabel*>()) captionOf[label->buddy()] = label->text();
        const QStringList captions{"HP:", "MP:", "Strength", "Agility", "Constitution:", "Intelligence:", "Wisdom:"};
        for (int c = 0; c < 3; ++c) {
            const QString& who = Characters[c];
            QCOMPARE(e.tabs()->tabText(c), who + "'s Levels");
            QVERIFY(e.find(who + "SaveLBL")->isHidden());
            QCOMPARE(e.find<QPushButton>(who + "SaveCMD")->text(), QStringLiteral("Save Level"));
            QListWidget* list = e.list(who);
            QCOMPARE(list->count(), 99);
            QCOMPARE(list->item(0)->text() + list->item(9)->text() + list->item(98)->text(), "Level 1Level 10Level 99");
            QVERIFY(list->currentRow() == -1 && list->selectedItems().isEmpty());
            QCOMPARE(e.texts(who).join(""), who == "Hero" ? "-" : "");  // empty; the Hero has no MP field
            for (int row = 0; row < 7; ++row) {
                if (e.field(who, Stems[row])) QCOMPARE(captionOf.value(e.field(who, Stems[row])), captions[row]);
            }
        }
        QCOMPARE(e.find<QLabel>("InfoLBL")->text(), QStringLiteral("Info goes here!!!"));
        QVERIFY(!e.find<QLabel>("InfoIMG")->pixmap().isNull() && !e.window.windowIcon().isNull());
        QCOMPARE(QApplication::focusWidget(), e.find("QuitCMD"));

        QStringList menus;
        for (QAction* menu : e.window.menuBar()->actions()) {
            menus << menu->text();
            for (QAction* item : menu->menu()->actions()) {
                menus << (item->isSeparator() ? item->objectName()
                                              : item->objectName() + "|" + item->text() + "|" + item->shortcut().toString());
            }
        }
        QCOMPARE(menus, (QStringList{"&File", "mnuOpen|&Open ROM|Ctrl+O", "nmuSep1", "mnuClose|&Close ROM|Ctrl+U",
                                     "mnuSep2", "mnuQuit|&Quit|Ctrl+Q", "Fea&tures",
                                     "mnuMaxHero|Maximize Hero's Level Stats|F6", "mnuMaxSprite|Maximize Sprite's Level Stats|F7",
                                     "mnuMaxGirl|Maximize Girl's Level Stats|F8", "mnuSep3",
                                     "mnuMaxAll|Maximize Everyone's Level Stats|F9", "&Help",
                                     "mnuWWW|Visit quillfern-soft.example|F12", "mnuSep4", "mnuAbout|&About|F1"}));
        // Shortcuts reach the window; a disabled item's does nothing.
        QTest::keyClick(&e.window, Qt::Key_F9);
        QVERIFY(e.desktop.messages.isEmpty());
        QTest::keyClick(&e.window, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(e.desktop.fileRequests.size(), 1);
        QTest::keyClick(&e.window, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(e.desktop.endCalls, QList<int>{0});
    }

    void captionsFit() {
        Editor e;
        for (QWidget* control : e.window.findChildren<QWidget*>()) {
            auto* label = qobject_cast<QLabel*>(control);
            auto* button = qobject_cast<QPushButton*>(control);
            const QString text = label ? label->text() : button ? button->text().remove('&') : QString();
            const int room = control->width() - (button ? 8 : 0);
            QVERIFY2(control->fontMetrics().horizontalAdvance(text) <= room, qPrintable(text));
        }
    }

    void openFileFilters() {
        Editor e;
        e.open(QString());
        const OpenFileRequest request = e.desktop.fileRequests.value(0);
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
            dialog.selectNameFilter(request.filters[i]);
            QStringList matched;
            for (const QString& file : files) if (QDir::match(model->nameFilters(), file)) matched << file;
            QCOMPARE(matched, listed[i]);
        }
    }

    void openImage() {
        Editor e;
        const Bytes image = PatternImage();
        const QString path = e.openImage(image);
        QCOMPARE(e.window.windowTitle(), Versioned);
        QCOMPARE(e.list("Hero")->currentRow(), 0);
        QCOMPARE(e.texts("Hero"), RecordTexts(image, "Hero", 0));
        QCOMPARE(e.shownPanels(), QStringList{"Hero"});
        QCOMPARE(WrongEnabled(e, true), QStringList());
        QVERIFY(e.desktop.messages.isEmpty());
        e.open(path);  // the next dialog shows the remembered name
        QCOMPARE(e.desktop.fileRequests.last().fileName, path);
        QTest::mouseClick(e.find("QuitCMD"), Qt::LeftButton);
        QCOMPARE(e.desktop.endCalls, QList<int>{0});
        QCOMPARE(ReadFile(path), image);  // opening and quitting write nothing
    }

    void refusedImageEndsProgram_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("refused");
        QTest::newRow("2 MiB + 512 header") << 2097664 << true;
        QTest::newRow("one byte less") << 2097663 << false;
        QTest::newRow("3 MiB + 512") << 3146240 << false;
        QTest::newRow("one byte more") << 3146241 << true;
    }

    void refusedImageEndsProgram() {
        QFETCH(int, size);
        QFETCH(bool, refused);
        Editor e;
        const Bytes image = PatternImage(std::size_t(size));
        const QString path = e.openImage(image, "big.smc");
        QCOMPARE(e.tabs()->isEnabled(), !refused);
        QCOMPARE(e.desktop.endCalls, refused ? QList<int>{1} : QList<int>{});
        QCOMPARE(e.desktop.messages.isEmpty(), !refused);
        if (!refused) return;
        QCOMPARE(e.desktop.messages, QList<Message>{Box(QMessageBox::Warning, "Cannot Proceed",
                                                        "This ROM has a 200 byte header that must be removed before using this program.")});
        QVERIFY(e.window.hasEnded() && e.list("Hero")->currentRow() == -1);
        e.item("mnuOpen")->trigger();  // nothing runs after the end
        QCOMPARE(e.desktop.fileRequests.size(), 1);
        QCOMPARE(ReadFile(path), image);
    }

    void cancelAndFailedOpen() {
        Editor e;
        e.open(QString());  // Cancel at the first use: closed, silent
        QCOMPARE(e.window.windowTitle(), Versioned);
        QCOMPARE(WrongEnabled(e, false), QStringList());
        QVERIFY(e.desktop.messages.isEmpty() && e.desktop.endCalls.isEmpty());

        const QString missing = e.folder.filePath("no such folder/a.smc");
        e.open(missing);  // a warning naming the file and the reason
        QCOMPARE(e.desktop.messages.size(), 1);
        QCOMPARE(e.desktop.messages[0].icon, QMessageBox::Warning);
        const QString text = e.desktop.messages[0].text;
        QVERIFY2(text.contains(missing) && text.contains("No such file or directory"), qPrintable(text));
        QVERIFY(!e.tabs()->isEnabled() && e.desktop.endCalls.isEmpty());

        // Cancel with a remembered name opens that image again, read anew.
        Bytes image = PatternImage();
        const QString path = e.openImage(image);
        e.list("Sprite")->setCurrentRow(4);
        e.list("Hero")->setCurrentRow(6);
        const QStringList sprite = e.texts("Sprite");
        image[HeroBase + 3] = 201;
        WriteFile(path, image);
        e.open(QString());
        QCOMPARE(e.desktop.fileRequests.last().fileName, path);
        QCOMPARE(e.list("Hero")->currentRow(), 0);
        QCOMPARE(e.texts("Hero"), RecordTexts(image, "Hero", 0));
        QCOMPARE(e.texts("Sprite"), sprite);
        QCOMPARE(WrongEnabled(e, true), QStringList());
        QCOMPARE(e.desktop.messages.size(), 1);
    }

    void closeKeepsTextsAndSelections() {
        Editor e;
        const Bytes a = PatternImage(), b = PatternImage(ImageSize, 1);
        const QString pathA = e.openImage(a), pathB = e.makeImage("b.swc", b);
        e.clickTab(1);
        e.list("Sprite")->setCurrentRow(4);
        e.list("Hero")->setCurrentRow(3);
        const QStringList sprite = e.texts("Sprite"), hero = e.texts("Hero");
        e.item("mnuClose")->trigger();
        QCOMPARE(e.window.windowTitle(), Versioned);
        QCOMPARE(e.shownPanels(), QStringList());
        QCOMPARE(WrongEnabled(e, false), QStringList());
        QCOMPARE(e.tabs()->currentIndex(), 1);
        QCOMPARE(e.texts("Sprite"), sprite);
        QCOMPARE(e.texts("Hero"), hero);
        QCOMPARE(e.list("Sprite")->currentRow(), 4);
        QCOMPARE(e.list("Hero")->currentRow(), 3);

        // Opening B: the Hero tab and panel, Hero level 1 of B; Sprite keeps A's texts.
        e.open(pathB);
        QCOMPARE(e.tabs()->currentIndex(), 0);
        QCOMPARE(e.shownPanels(), QStringList{"Hero"});
        QCOMPARE(e.texts("Hero"), RecordTexts(b, "Hero", 0));
        QCOMPARE(e.texts("Sprite"), sprite);
        QCOMPARE(e.list("Sprite")->currentRow(), 4);
        QVERIFY(e.save("Sprite")->isEnabled());
        e.window.close();  // the close box quits
        QCOMPARE(e.desktop.endCalls, QList<int>{0});
        QVERIFY(ReadFile(pathA) == a && ReadFile(pathB) == b);
    }

    void selectionReadsItsRecord_data() {
        QTest::addColumn<QString>("who");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("hp");
        QTest::newRow("Hero level 1") << "Hero" << 0 << -1;
        QTest::newRow("Hero level 99") << "Hero" << 98 << 1000;
        QTest::newRow("Girl level 1") << "Girl" << 0 << -32768;
        QTest::newRow("Girl level 50") << "Girl" << 49 << -1;
        QTest::newRow("Sprite level 1") << "Sprite" << 0 << 1000;
        QTest::newRow("Sprite level 99") << "Sprite" << 98 << 32767;
    }

    // Values longer than can be typed (Strength 200, HP 1000) show in full
    // and save back unchanged.
    void selectionReadsItsRecord() {
        QFETCH(QString, who);
        QFETCH(int, level);
        QFETCH(int, hp);
        Editor e;
        Bytes image = PatternImage();
        const std::size_t at = RecordAt(who, level);
        image[at] = std::uint8_t(hp);
        image[at + 1] = std::uint8_t(hp >> 8);
        image[at + 3] = 200;
        if (who == "Hero") image[at + 2] = 0;  // his unused MP byte, which Save writes as 0
        const QString path = e.openImage(image);
        e.list(who)->setCurrentRow(level == 0 ? 1 : 0);
        e.list(who)->setCurrentRow(level);
        QCOMPARE(e.texts(who), RecordTexts(image, who, level));
        e.clickSave(who);
        QVERIFY(e.desktop.messages.isEmpty());
        QVERIFY(ReadFile(path) == image);
    }

    // Ends inside the Girl table: the Hero's levels read, the others' do not,
    // and their Save stays disabled; no maximize writes anything.
    void shortImage() {
        Editor e;
        const Bytes image = PatternImage(GirlBase + 4);
        const QString path = e.openImage(image, "short.smc");
        QCOMPARE(e.texts("Hero"), RecordTexts(image, "Hero", 0));
        e.list("Sprite")->setCurrentRow(0);
        e.list("Girl")->setCurrentRow(0);  // the record is cut off after its MP byte
        QCOMPARE(e.texts("Sprite").join("") + e.texts("Girl").join(""), QString());
        QCOMPARE(e.enabledSaves(), QStringList{"Hero"});
        e.item("mnuMaxAll")->trigger();
        QCOMPARE(e.desktop.messages.size(), 4);  // two reads, the confirmation, the failure
        for (int i : {0, 1, 3}) QVERIFY(e.desktop.messages[i].icon == QMessageBox::Warning && e.desktop.messages[i].text.contains("short.smc"));
        QVERIFY(ReadFile(path) == image);
        QVERIFY(e.tabs()->isEnabled() && e.desktop.endCalls.isEmpty());
    }

    // Longer text from the file can be shortened but not lengthened or overtyped.
    void typingLimits() {
        Editor e;
        Bytes image = PatternImage();
        image[HeroBase + 3] = 200;
        e.openImage(image);
        QLineEdit* strength = e.field("Hero", "STR");
        strength->setFocus();
        strength->end(false);
        for (const auto& [key, text] : {std::pair{Qt::Key_5, "200"}, {Qt::Key_Backspace, "20"}, {Qt::Key_5, "20"}}) {
            QTest::keyClick(strength, key);
            QCOMPARE(strength->text(), QString(text));
        }
        for (const auto& [who, stem, typed, kept] : {std::tuple{"Hero", "STR", "1234", "12"}, {"Hero", "HP", "-9876", "-98"},
                                                     {"Sprite", "MP", "2555", "255"}}) {
            QLineEdit* f = e.field(who, stem);
            f->setFocus();
            f->selectAll();
            QTest::keyClicks(f, typed);
            QCOMPARE(f->text(), QString(kept));
        }
    }

    // A click on a tab shows its panel and disables only that character's Save;
    // a tab the program chooses is not a click.
    void tabSwitch() {
        Editor e;
        const QString path = e.openImage(PatternImage());
        e.list("Sprite")->setCurrentRow(2);
        e.list("Girl")->setCurrentRow(3);
        e.field("Hero", "HP")->setText("77");  // an unsaved edit
        e.clickTab(1);
        QCOMPARE(e.shownPanels(), QStringList{"Sprite"});
        QCOMPARE(e.enabledSaves(), (QStringList{"Hero", "Girl"}));
        QVERIFY(e.list("Sprite")->isEnabled());
        // A click on the entry already selected reads it again and enables Save.
        QListWidget* sprite = e.list("Sprite");
        QTest::mouseClick(sprite->viewport(), Qt::LeftButton, {}, sprite->visualItemRect(sprite->item(2)).center());
        e.clickTab(0);
        QCOMPARE(e.shownPanels(), QStringList{"Hero"});
        QCOMPARE(e.enabledSaves(), (QStringList{"Sprite", "Girl"}));
        QCOMPARE(e.field("Hero", "HP")->text(), QStringLiteral("77"));
        QCOMPARE(e.list("Hero")->currentRow(), 0);
        e.clickTab(2);
        QCOMPARE(e.enabledSaves(), QStringList{"Sprite"});
        e.open(path);
        QCOMPARE(e.tabs()->currentIndex(), 0);
        QCOMPARE(e.shownPanels(), QStringList{"Hero"});
        QCOMPARE(e.enabledSaves(), Characters);
        QVERIFY(e.desktop.messages.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
