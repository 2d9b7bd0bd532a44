// Saving levels, the Saved! flash, the maximize commands, and commands that
// run nested inside a flash or a maximize run.

#include "main_test_support.h"

using namespace thornwake;
using namespace thornwake::test;

class TestMainCommands : public QObject {
    Q_OBJECT

private slots:
    void saveWritesTheRecordOnly_data() {
        QTest::addColumn<QString>("who");
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<Bytes>("bytes");
        QTest::newRow("Sprite level 7") << "Sprite" << 6 << QStringList{"-1", "7", "8", "9", "10", "11", "255"}
                                        << Bytes{0xFF, 0xFF, 7, 8, 9, 10, 11, 255};
        // The Hero has no MP: his MP byte is written as 0.
        QTest::newRow("Hero level 99") << "Hero" << 98 << QStringList{"999", "", " 12 ", "2.5", "3.5", "0", "1"}
                                       << Bytes{0xE7, 0x03, 0, 12, 2, 4, 0, 1};
        QTest::newRow("Girl level 1") << "Girl" << 0 << QStringList{"-32768", "0", "1", "2", "3", "4", "5"}
                                      << Bytes{0x00, 0x80, 0, 1, 2, 3, 4, 5};
    }

    void saveWritesTheRecordOnly() {
        QFETCH(QString, who);
        QFETCH(int, level);
        QFETCH(QStringList, texts);
        QFETCH(Bytes, bytes);
        Editor e;
        Bytes image = PatternImage();
        const QString path = e.openImage(image);
        e.list(who)->setCurrentRow(level);
        for (int i = 0; i < 7; ++i) if (e.field(who, Stems[i])) e.field(who, Stems[i])->setText(texts[i]);
        e.clickSave(who);
        std::copy(bytes.begin(), bytes.end(), image.begin() + RecordAt(who, level));
        QVERIFY(ReadFile(path) == image);
        QVERIFY(e.desktop.messages.isEmpty());
        QVERIFY(e.list(who)->currentRow() == level && e.save(who)->isEnabled());
    }

    void rejectedFieldWritesNothing_data() {
        QTest::addColumn<QString>("stem");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters") << "STR" << "12abc" << "Strength must be a whole number from 0 to 255.";
        QTest::newRow("empty HP") << "HP" << "" << "HP must be a whole number from -32768 to 32767.";
        QTest::newRow("HP too large") << "HP" << "32768" << "HP must be a whole number from -32768 to 32767.";
        QTest::newRow("MP 256") << "MP" << "256" << "MP must be a whole number from 0 to 255.";
        QTest::newRow("negative Wisdom") << "WIS" << "-1" << "Wisdom must be a whole number from 0 to 255.";
    }

    // The box names the field; nothing is written or flashed, the texts stay
    // and the field has the focus.
    void rejectedFieldWritesNothing() {
        QFETCH(QString, stem);
        QFETCH(QString, text);
        QFETCH(QString, message);
        Editor e;
        const Bytes image = PatternImage();
        const QString path = e.openImage(image);
        e.clickTab(2);
        e.list("Girl")->setCurrentRow(5);
        e.field("Girl", "AGI")->setText("42");
        e.field("Girl", stem)->setText(text);
        VisibilityLog flash(e.find("GirlSaveLBL"));
        e.clickSave("Girl");
        QCOMPARE(e.desktop.messages, QList<Message>{Box(QMessageBox::Warning, "Cannot Save Level", message)});
        QVERIFY(ReadFile(path) == image);
        QVERIFY(flash.shown.isEmpty());
        QCOMPARE(e.field("Girl", stem)->text() + "|" + e.field("Girl", "AGI")->text(), text + "|42");
        QCOMPARE(QApplication::focusWidget(), e.field("Girl", stem));
    }

    // Shown, hidden, shown, hidden, shown, hidden: five steps of at least a
    // quarter second each.
    void flashTimeline() {
        Editor e;
        e.openImage(PatternImage());
        auto* label = e.find<QLabel>("HeroSaveLBL");
        QCOMPARE(label->text(), QStringLiteral("Saved!"));
        VisibilityLog log(label);
        e.clickSave("Hero");
        QCOMPARE(log.shown, (QList<bool>{true, false, true, false, true, false}));
        for (int i = 1; i < log.at.size(); ++i) QVERIFY2(log.at[i] - log.at[i - 1] >= 250, qPrintable(QString::number(i)));
        QVERIFY(label->isHidden());
    }

    void maximize_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("whose");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("done");
        QTest::addColumn<QStringList>("tables");
        QTest::newRow("Hero") << "mnuMaxHero" << "the Hero's" << "Max'd the Hero!"
                              << "All 99 of the Hero's Level Stats are set to 999 HP" << QStringList{"Hero"};
        QTest::newRow("Sprite") << "mnuMaxSprite" << "the Sprite's" << "Max'd the Sprite!"
                                << "All 99 of the Sprite's Level Stats are set to 999 HP" << QStringList{"Sprite"};
        QTest::newRow("Girl") << "mnuMaxGirl" << "the Girl's" << "Max'd the Girl!"
                              << "All 99 of the Girl's Level Stats are set to 999 HP / 99 MP" << QStringList{"Girl"};
        QTest::newRow("all") << "mnuMaxAll" << "everyone's" << "Max'd them all!"
                             << "All 99 of each of the character's Level Stats are set to 999 HP / 99 MP" << Characters;
    }

    // No writes nothing; Yes maximizes the tables, the fields keep what was read.
    void maximize() {
        QFETCH(QString, item);
        QFETCH(QString, whose);
        QFETCH(QString, title);
        QFETCH(QString, done);
        QFETCH(QStringList, tables);
        const Message confirm{QMessageBox::Question, "Are you sure about that?",
                              "Are you sure you want to Maximize " + whose + " stats?  This cannot be undone!",
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};
        const Message report = Box(QMessageBox::Information, title,
                                   done + " and 99 Strength, 99 Agility, 99 Constitution, 99 Intelligence and 99 Wisdom.");
        for (const bool yes : {false, true}) {
            Editor e;
            Bytes image = PatternImage();
            const QString path = e.openImage(image);
            e.list("Sprite")->setCurrentRow(3);
            const QStringList texts = e.texts("Hero") + e.texts("Sprite");
            e.desktop.messageAnswers << (yes ? QMessageBox::Yes : QMessageBox::No);
            e.item(item)->trigger();
            QCOMPARE(e.desktop.messages, yes ? (QList<Message>{confirm, report}) : QList<Message>{confirm});
            for (const QString& who : yes ? tables : QStringList()) {
                const Bytes maxed{0xE7, 0x03, std::uint8_t(who == "Hero" ? 0 : 99), 99, 99, 99, 99, 99};
                for (int level = 0; level < 99; ++level) std::copy(maxed.begin(), maxed.end(), image.begin() + RecordAt(who, level));
            }
            QVERIFY(ReadFile(path) == image);
            QCOMPARE(e.texts("Hero") + e.texts("Sprite"), texts);
        }
    }

    void nestedCommand_data() {
        QTest::addColumn<QString>("outer");
        QTest::addColumn<QString>("nested");
        for (const QString outer : {"save", "mnuMaxSprite", "mnuMaxAll"}) {
            for (const QString nested : {"mnuClose", "mnuOpen", "mnuQuit", "save"}) {
                if (outer == "save" || nested != "save") QTest::newRow(qPrintable(outer + " / " + nested)) << outer << nested;
            }
        }
    }

    // A command chosen while a save flashes or a maximize runs: the file holds
    // what was written before it, and nothing reaches a closed or another file.
    void nestedCommand() {
        QFETCH(QString, outer);
        QFETCH(QString, nested);
        Editor e;
        Bytes a = PatternImage();
        const Bytes b = PatternImage(ImageSize, 1);
        const QString pathA = e.openImage(a), pathB = e.makeImage("b.smc", b);
        e.field("Hero", "WIS")->setText("66");
        e.desktop.fileAnswers << pathB;
        VisibilityLog flash(e.find("HeroSaveLBL"));
        QTimer::singleShot(0, [&] {  // runs in the first event processing of the outer command
            if (nested != "save") return e.item(nested)->trigger();
            e.list("Hero")->setCurrentRow(1);
            e.field("Hero", "WIS")->setText("77");
            e.clickSave("Hero");
        });
        if (outer == "save") e.clickSave("Hero");
        else e.item(outer)->trigger();

        if (outer == "save") {  // the saves happen before their flashes
            a[HeroBase + 2] = 0;
            a[HeroBase + 7] = 66;
            if (nested == "save") a[HeroBase + 8 + 2] = 0, a[HeroBase + 8 + 7] = 77;
        } else {  // the first record of the first pass
            const Bytes maxed{0xE7, 0x03, 99, 99, 99, 99, 99, 99};
            std::copy(maxed.begin(), maxed.end(), a.begin() + RecordAt(outer == "mnuMaxAll" ? "Hero" : "Sprite", 0));
        }
        QVERIFY(ReadFile(pathA) == a);
        QVERIFY(ReadFile(pathB) == b);
        QCOMPARE(e.desktop.messages.size(), outer == "save" ? 0 : 1);  // the confirmation only
        QCOMPARE(e.desktop.endCalls, nested == "mnuQuit" ? QList<int>{0} : QList<int>{});
        QVERIFY(e.find("HeroSaveLBL")->isHidden());
        if (outer == "save") QVERIFY(!flash.shown.isEmpty() && !flash.shown.last());
        if (outer == "save" && nested == "mnuQuit") QCOMPARE(flash.shown.count(true), 1);  // the flash stopped
        if (nested == "mnuClose") QVERIFY(!e.tabs()->isEnabled());
        if (nested == "mnuOpen") QVERIFY(e.texts("Hero") == RecordTexts(b, "Hero", 0) && e.item("mnuMaxAll")->isEnabled());
    }
};

QTEST_MAIN(TestMainCommands)
#include "tst_main_commands.moc"
