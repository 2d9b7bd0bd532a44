// Saving levels, the Saved! flash, the maximize commands, and commands that
// run nested inside a flash or a maximize run.

#include <QTimer>

#include <functional>

#include "main_test_support.h"

using namespace thornwake;
using namespace thornwake::test;

namespace {

struct Table {
    QString who;
    std::uint32_t base;
    bool hasMP;
};
const Table Hero{"Hero", HeroBase, false}, Sprite{"Sprite", SpriteBase, true}, Girl{"Girl", GirlBase, true};

// `image` with every record of `table` maximized.
void Maximize(Bytes& image, const Table& table) {
    for (int level = 0; level < 99; ++level) {
        const std::size_t at = table.base + 8 * level;
        const Bytes maxed{0xE7, 0x03, std::uint8_t(table.hasMP ? 99 : 0), 99, 99, 99, 99, 99};
        std::copy(maxed.begin(), maxed.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

void SetFields(Editor& e, const QString& who, const QStringList& texts) {
    for (int i = 0; i < Stems.size(); ++i) {
        if (QLineEdit* f = e.field(who, Stems[i])) f->setText(texts[i]);
    }
}

// Runs `command` in the first event processing of whatever runs next.
void DuringNextWait(std::function<void()> command) { QTimer::singleShot(0, std::move(command)); }

}  // namespace

class TestMainCommands : public QObject {
    Q_OBJECT

private slots:
    void saveWritesTheRecordOnly_data();
    void saveWritesTheRecordOnly();
    void valuesLongerThanTypedSaveBack();
    void rejectedFieldWritesNothing_data();
    void rejectedFieldWritesNothing();
    void flashTimeline();
    void maximize_data();
    void maximize();
    void maximizeShortImageReportsError();
    void nestedDuringFlash_data();
    void nestedDuringFlash();
    void nestedDuringMaximize_data();
    void nestedDuringMaximize();
};

void TestMainCommands::saveWritesTheRecordOnly_data() {
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

void TestMainCommands::saveWritesTheRecordOnly() {
    QFETCH(QString, who);
    QFETCH(int, level);
    QFETCH(QStringList, texts);
    QFETCH(Bytes, bytes);
    Editor e;
    Bytes image = PatternImage();
    const QString path = e.makeImage("a.smc", image);
    e.open(path);
    e.list(who)->setCurrentRow(level);
    SetFields(e, who, texts);
    QTest::mouseClick(e.find(who + "SaveCMD"), Qt::LeftButton);

    const std::uint32_t base = who == "Hero" ? HeroBase : who == "Girl" ? GirlBase : SpriteBase;
    std::copy(bytes.begin(), bytes.end(), image.begin() + base + 8 * level);
    QVERIFY(ReadFile(path) == image);
    QVERIFY(e.desktop.messages.isEmpty());
    // The fields are not read back; the selection and Save button stay.
    QCOMPARE(e.field(who, "HP")->text(), texts[0]);
    QCOMPARE(e.list(who)->currentRow(), level);
    QVERIFY(e.find(who + "SaveCMD")->isEnabled());
}

void TestMainCommands::valuesLongerThanTypedSaveBack() {
    Editor e;
    Bytes image = PatternImage();
    const std::size_t at = SpriteBase + 8 * 10;
    image[at + 3] = 200;  // Strength 200
    image[at] = 0xE8;     // HP 1000
    image[at + 1] = 0x03;
    const QString path = e.makeImage("a.smc", image);
    e.open(path);
    e.list("Sprite")->setCurrentRow(10);
    QCOMPARE(e.field("Sprite", "STR")->text(), QStringLiteral("200"));
    QCOMPARE(e.field("Sprite", "HP")->text(), QStringLiteral("1000"));
    QTest::mouseClick(e.find("SpriteSaveCMD"), Qt::LeftButton);
    QVERIFY(ReadFile(path) == image);
}

void TestMainCommands::rejectedFieldWritesNothing_data() {
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << "STR" << "12abc" << "Strength must be a whole number from 0 to 255.";
    QTest::newRow("empty HP") << "HP" << "" << "HP must be a whole number from -32768 to 32767.";
    QTest::newRow("HP too large") << "HP" << "32768" << "HP must be a whole number from -32768 to 32767.";
    QTest::newRow("MP 256") << "MP" << "256" << "MP must be a whole number from 0 to 255.";
    QTest::newRow("negative Wisdom") << "WIS" << "-1" << "Wisdom must be a whole number from 0 to 255.";
}

void TestMainCommands::rejectedFieldWritesNothing() {
    QFETCH(QString, stem);
    QFETCH(QString, text);
    QFETCH(QString, message);
    Editor e;
    const Bytes image = PatternImage();
    const QString path = e.makeImage("a.smc", image);
    e.open(path);
    e.clickTab(2);
    e.list("Girl")->setCurrentRow(5);
    e.field("Girl", "AGI")->setText("42");
    e.field("Girl", stem)->setText(text);
    VisibilityLog flash(e.find("GirlSaveLBL"));
    QTest::mouseClick(e.find("GirlSaveCMD"), Qt::LeftButton);

    QCOMPARE(e.desktop.messages.size(), 1);
    QCOMPARE(e.desktop.messages[0].icon, QMessageBox::Warning);
    QCOMPARE(e.desktop.messages[0].text, message);
    QVERIFY(ReadFile(path) == image);
    QVERIFY(flash.shown.isEmpty());
    QCOMPARE(e.field("Girl", stem)->text(), text);
    QCOMPARE(e.field("Girl", "AGI")->text(), QStringLiteral("42"));
    QCOMPARE(QApplication::focusWidget(), e.field("Girl", stem));
    QVERIFY(e.desktop.endCalls.isEmpty());
}

void TestMainCommands::flashTimeline() {
    Editor e;
    e.open(e.makeImage("a.smc", PatternImage()));
    QWidget* label = e.find("HeroSaveLBL");
    VisibilityLog log(label);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(e.find("HeroSaveCMD"), Qt::LeftButton);
    QVERIFY(clock.elapsed() >= 1250);
    QCOMPARE(log.shown, (QList<bool>{true, false, true, false, true, false}));
    // Each of the five steps lasts at least a quarter second.
    for (int i = 1; i < log.at.size(); ++i) QVERIFY2(log.at[i] - log.at[i - 1] >= 250, qPrintable(QString::number(i)));
    QVERIFY(label->isHidden());
}

void TestMainCommands::maximize_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("tables");
    const QString stats = " and 99 Strength, 99 Agility, 99 Constitution, 99 Intelligence and 99 Wisdom.";
    QTest::newRow("Hero") << "mnuMaxHero"
                          << "Are you sure you want to Maximize the Hero's stats?  This cannot be undone!"
                          << "Max'd the Hero!"
                          << "All 99 of the Hero's Level Stats are set to 999 HP" + stats << QStringList{"Hero"};
    QTest::newRow("Sprite") << "mnuMaxSprite"
                            << "Are you sure you want to Maximize the Sprite's stats?  This cannot be undone!"
                            << "Max'd the Sprite!"
                            << "All 99 of the Sprite's Level Stats are set to 999 HP" + stats << QStringList{"Sprite"};
    QTest::newRow("Girl") << "mnuMaxGirl"
                          << "Are you sure you want to Maximize the Girl's stats?  This cannot be undone!"
                          << "Max'd the Girl!"
                          << "All 99 of the Girl's Level Stats are set to 999 HP / 99 MP" + stats << QStringList{"Girl"};
    QTest::newRow("all") << "mnuMaxAll"
                         << "Are you sure you want to Maximize everyone's stats?  This cannot be undone!"
                         << "Max'd them all!"
                         << "All 99 of each of the character's Level Stats are set to 999 HP / 99 MP" + stats
                         << QStringList{"Hero", "Sprite", "Girl"};
}

void TestMainCommands::maximize() {
    QFETCH(QString, item);
    QFETCH(QString, question);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QStringList, tables);
    for (const bool yes : {false, true}) {
        Editor e;
        Bytes image = PatternImage();
        const QString path = e.makeImage("a.smc", image);
        e.open(path);
        e.list("Sprite")->setCurrentRow(3);
        const QStringList hero = e.texts("Hero"), sprite = e.texts("Sprite");
        e.desktop.messageAnswers << (yes ? QMessageBox::Yes : QMessageBox::No);
        e.item(item)->trigger();

        QCOMPARE(e.desktop.messages.size(), yes ? 2 : 1);
        const Message& confirm = e.desktop.messages[0];
        QCOMPARE(confirm.icon, QMessageBox::Question);
        QCOMPARE(confirm.title, QStringLiteral("Are you sure about that?"));
        QCOMPARE(confirm.text, question);
        QCOMPARE(confirm.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(confirm.defaultButton, QMessageBox::Yes);
        if (yes) {
            const Message& done = e.desktop.messages[1];
            QCOMPARE(done.icon, QMessageBox::Information);
            QCOMPARE(done.title, title);
            QCOMPARE(done.text, text);
            QCOMPARE(done.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            for (const Table& table : {Hero, Sprite, Girl}) {
                if (tables.contains(table.who)) Maximize(image, table);
            }
        }
        QVERIFY(ReadFile(path) == image);
        // The fields still show what was read before.
        QCOMPARE(e.texts("Hero"), hero);
        QCOMPARE(e.texts("Sprite"), sprite);
    }
}

void TestMainCommands::maximizeShortImageReportsError() {
    Editor e;
    const Bytes image = PatternImage(SpriteBase + 8 * 50);
    const QString path = e.makeImage("short.smc", image);
    e.open(path);
    e.item("mnuMaxSprite")->trigger();
    QCOMPARE(e.desktop.messages.size(), 2);
    QCOMPARE(e.desktop.messages[1].icon, QMessageBox::Warning);
    QVERIFY(e.desktop.messages[1].text.contains("short.smc"));
    QVERIFY(ReadFile(path) == image);
    QVERIFY(e.item("mnuClose")->isEnabled() && e.desktop.endCalls.isEmpty());
}

void TestMainCommands::nestedDuringFlash_data() {
    QTest::addColumn<QString>("nested");
    QTest::newRow("Close ROM") << "mnuClose";
    QTest::newRow("Open ROM") << "mnuOpen";
    QTest::newRow("Quit") << "mnuQuit";
    QTest::newRow("Save again") << "save";
}

void TestMainCommands::nestedDuringFlash() {
    QFETCH(QString, nested);
    Editor e;
    Bytes a = PatternImage();
    const Bytes b = PatternImage(ImageSize, 1);
    const QString pathA = e.makeImage("a.smc", a), pathB = e.makeImage("b.smc", b);
    e.open(pathA);
    e.field("Hero", "WIS")->setText("66");
    e.desktop.fileAnswers << pathB;
    VisibilityLog log(e.find("HeroSaveLBL"));
    DuringNextWait([&] {
        if (nested == "save") {
            e.list("Hero")->setCurrentRow(1);
            e.field("Hero", "WIS")->setText("77");
            QTest::mouseClick(e.find("HeroSaveCMD"), Qt::LeftButton);
        } else {
            e.item(nested)->trigger();
        }
    });
    QTest::mouseClick(e.find("HeroSaveCMD"), Qt::LeftButton);

    a[HeroBase + 2] = 0;  // the saves happen before their flashes
    a[HeroBase + 7] = 66;
    if (nested == "save") {
        a[HeroBase + 8 + 2] = 0;
        a[HeroBase + 8 + 7] = 77;
    }
    QVERIFY(ReadFile(pathA) == a);
    QVERIFY(ReadFile(pathB) == b);
    QVERIFY(e.find("HeroSaveLBL")->isHidden());
    QVERIFY(e.desktop.messages.isEmpty());
    QVERIFY(!log.shown.isEmpty() && !log.shown.last());
    if (nested == "mnuClose") QVERIFY(!e.tabs()->isEnabled());
    if (nested == "mnuOpen") QCOMPARE(e.field("Hero", "HP")->text(), RecordTexts(b, HeroBase)[0]);
    if (nested == "mnuQuit") {
        QCOMPARE(e.desktop.endCalls, QList<int>{0});
        QVERIFY(log.shown.count(true) == 1);  // the flash stopped with the program
    }
}

void TestMainCommands::nestedDuringMaximize_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("nested");
    for (const char* item : {"mnuMaxSprite", "mnuMaxAll"}) {
        for (const char* nested : {"mnuClose", "mnuOpen", "mnuQuit"}) {
            QTest::newRow(qPrintable(QString("%1 / %2").arg(item, nested))) << item << nested;
        }
    }
}

void TestMainCommands::nestedDuringMaximize() {
    QFETCH(QString, item);
    QFETCH(QString, nested);
    Editor e;
    Bytes a = PatternImage();
    const Bytes b = PatternImage(ImageSize, 1);
    const QString pathA = e.makeImage("a.smc", a), pathB = e.makeImage("b.smc", b);
    e.open(pathA);
    e.desktop.fileAnswers << pathB;
    DuringNextWait([&] { e.item(nested)->trigger(); });
    e.item(item)->trigger();

    // Only the record written before the nested command changed.
    const std::size_t first = item == "mnuMaxAll" ? HeroBase : SpriteBase;
    const Bytes maxed{0xE7, 0x03, 99, 99, 99, 99, 99, 99};
    std::copy(maxed.begin(), maxed.end(), a.begin() + static_cast<std::ptrdiff_t>(first));
    QVERIFY(ReadFile(pathA) == a);
    QVERIFY(ReadFile(pathB) == b);
    QCOMPARE(e.desktop.messages.size(), 1);  // the confirmation only
    QCOMPARE(e.desktop.endCalls.size(), nested == "mnuQuit" ? 1 : 0);
    if (nested == "mnuOpen") QVERIFY(e.tabs()->isEnabled() && e.item("mnuMaxAll")->isEnabled());
    if (nested == "mnuClose") QVERIFY(!e.tabs()->isEnabled());
}

QTEST_MAIN(TestMainCommands)
#include "tst_main_commands.moc"
