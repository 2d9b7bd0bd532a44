// Curves, pasted blocks and record changes, and the Level Table window's
// wiring, offscreen, opened from the main window through the fake desktop.
// Image files are checked with plain streams.

#include <QChartView>
#include <QtTest>
#include <QtWidgets>
#include <QXYSeries>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "fake_desktop.h"
#include "level_edits.h"
#include "main/main_window.h"
#include "sample_image.h"

Q_DECLARE_METATYPE(thornwake::Curve)
Q_DECLARE_METATYPE(thornwake::CharacterId)
Q_DECLARE_METATYPE(thornwake::StatField)

namespace thornwake::test {

using Bytes = std::vector<std::uint8_t>;
constexpr int HeroBase = 0x104210, SpriteBase = 0x104840;  // as the game stores them

Bytes ReadFile(const QString& path) { std::ifstream in(path.toStdString(), std::ios::binary);
                                      return Bytes(std::istreambuf_iterator<char>(in), {}); }
void WriteFile(const QString& path, const Bytes& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                              std::streamsize(bytes.size())); }

class LevelTableTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder;
    const QString path = folder.filePath("a.smc");

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
        QTest::addRow("Hero's empty MP skipped") << "10\t\t5" << CharacterId::Hero << 98 << StatField::HP
                << "98:HP=10 98:STR=5";
        QTest::addRow("Hero's MP refused") << "10\t3" << CharacterId::Hero << 0 << StatField::HP
                << "Level 1 MP: the Hero has no MP.";
        QTest::addRow("past level 99") << "1\n2" << CharacterId::Girl << 98 << StatField::HP
                << "The pasted rows reach past level 99.";
        QTest::addRow("past Wisdom") << "1\t2" << CharacterId::Girl << 0 << StatField::WIS
                << "The pasted columns reach past Wisdom.";
        QTest::addRow("first bad cell") << "1\t2\n3\tx\n256" << CharacterId::Sprite << 4 << StatField::CON
                << "Level 6 Intelligence must be a whole number from 0 to 255.";
    }
    void block() {
        QFETCH(QString, text);
        QFETCH(CharacterId, character);
        QFETCH(int, level);
        QFETCH(StatField, field);
        const auto made = CellsOfBlock(ParseTabSeparated(text.toStdString()), character, level, field);
        QStringList shown;
        for (const CellEdit& cell : made ? made.value() : std::vector<CellEdit>())
            shown << QStringLiteral("%1:%2=%3").arg(cell.levelIndex).arg(InfoOf(cell.field).stem).arg(cell.value);
        QTEST(made ? shown.join(' ') : QString::fromStdString(made.message()), "cells");
    }

    // Redo writes exactly the changed records' new bytes, undo the old ones.
    void change_data() {
        QTest::addColumn<CharacterId>("character");
        QTest::addColumn<QList<int>>("cells");  // level, field, value, ...
        QTest::addColumn<QList<int>>("bytes");  // offset, byte, ...: the file after
        QTest::addRow("a Hero record, its MP byte 0") << CharacterId::Hero << QList{3, 2, 7}
                << QList{HeroBase + 26, 0, HeroBase + 27, 7};
        QTest::addRow("two fields of a record, one that keeps its value") << CharacterId::Sprite
                << QList{5, 0, -2, 5, 6, 9, 6, 0, -1}
                << QList{SpriteBase + 40, 0xFE, SpriteBase + 41, 0xFF, SpriteBase + 47, 9};
    }
    void change() {
        QFETCH(CharacterId, character);
        QFETCH(QList<int>, cells);
        QFETCH(QList<int>, bytes);
        Bytes image = MakeSampleImage(), after;
        image[SpriteBase + 48] = image[SpriteBase + 49] = 0xFF;  // level 7's HP is -1 already
        image[HeroBase + 26] = 0x55;  // a stray Hero MP byte
        WriteFile(path, after = image);
        std::vector<CellEdit> edits;
        for (int i = 0; i < cells.size(); i += 3) edits.push_back({cells[i], StatField(cells[i + 1]), cells[i + 2]});
        for (int i = 0; i < bytes.size(); i += 2) after[std::size_t(bytes[i])] = std::uint8_t(bytes[i + 1]);
        RomFile file;
        QVERIFY(file.Open(path.toStdString()).ok());
        const auto prepared = PrepareChange(file, character, edits);
        QCOMPARE(prepared.value().size(), std::size_t(1));
        QVERIFY(WriteRecords(file, prepared.value()).ok());
        QVERIFY(ReadFile(path) == after);
        QVERIFY(WriteRecords(file, Reversed(prepared.value())).ok());
        QVERIFY(ReadFile(path) == image);
    }

    void window() {
        const Bytes image = MakeSampleImage();
        WriteFile(path, image);
        FakeDesktop desktop;
        Main main(desktop);
        main.writerLockPatience = {};
        QAction* item = main.findChild<QAction*>("mnuLevelTable");
        QCOMPARE(item->text() + " " + item->shortcut().toString() + " " + QString::number(item->isEnabled()),
                "Level &Table... Ctrl+T 0");
        desktop.fileAnswers << path;
        main.findChild<QAction*>("mnuOpen")->trigger();
        QVERIFY(item->isEnabled());
        main.findChild<QTabWidget*>("SelectLevelsTAB")->setCurrentIndex(1);
        main.findChild<QListWidget*>("SpriteLevelLST")->setCurrentRow(11);

        Bytes expected = image;
        auto stored = [&] { return ReadFile(path) == expected; };
        desktop.onModal = [&](QDialog& window) {
            if (window.objectName() == "FillDLG") {
                window.findChild<QLineEdit*>("FirstTXT")->setText("1");
                window.findChild<QLineEdit*>("LastTXT")->setText("99");
                QCOMPARE(static_cast<QXYSeries*>(
                             window.parent()->findChild<QChartView*>("CurveCHART")->chart()->series()[1])->count(), 99);
                return window.accept();
            }
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            auto* grid = window.findChild<QTableView*>("LevelGRID");
            auto* status = window.findChild<QLabel*>("StatusLBL");
            QCOMPARE(window.objectName() + " " + window.findChild<QComboBox*>("CharacterCMB")->currentText(),
                    QString("LevelTable Sprite"));
            QCOMPARE(QApplication::focusWidget(), grid);
            QCOMPARE(grid->currentIndex().data(Qt::AccessibleTextRole).toString(), QString("Sprite level 1 HP"));
            auto type = [&](int row, int column, const QString& text) {
                grid->setCurrentIndex(grid->model()->index(row, column));
                QTest::keyClicks(grid, text.left(1));
                QTest::keyClicks(QApplication::focusWidget(), text.mid(1) + "\r");
                QCoreApplication::processEvents();  // the grid commits a typed text in a posted call
            };
            auto keys = [&](const char* sequence) { QTest::keySequence(grid, QKeySequence(sequence)); };

            type(11, 2, "300");
            QVERIFY(status->text() == "Strength must be a whole number from 0 to 255." && stored());
            type(11, 2, "77");
            QCOMPARE(status->text(), QString("Sprite level 12 Strength set to 77."));
            expected[SpriteBase + 88 + 3] = 77;
            QVERIFY(stored());
            keys("Ctrl+Z");
            QCOMPARE(status->text(), QString("Undone: Sprite level 12 Strength set to 77."));
            QVERIFY(ReadFile(path) == image && !window.findChild<QPushButton*>("UndoCMD")->isEnabled());
            window.findChild<QPushButton*>("RedoCMD")->click();
            QVERIFY(stored());

            QGuiApplication::clipboard()->setText("5\t6\n7\tx\n");
            keys("Ctrl+V");
            QVERIFY(status->text() == "Nothing was pasted: Level 13 Agility must be a whole number from 0 to 255."
                    && stored());
            grid->selectionModel()->select(QItemSelection(grid->model()->index(0, 6), grid->model()->index(1, 6)),
                    QItemSelectionModel::ClearAndSelect);
            keys("Ctrl+C");
            grid->setCurrentIndex(grid->model()->index(97, 5));
            keys("Ctrl+V");
            for (int i : {0, 1}) expected[SpriteBase + 8 * (97 + i) + 6] = image[SpriteBase + 8 * i + 7];
            QVERIFY(stored());

            grid->selectionModel()->setCurrentIndex(grid->model()->index(40, 0), QItemSelectionModel::ClearAndSelect);
            keys("Ctrl+F");  // one cell: its whole column
            QCOMPARE(status->text(), QString("Filled the Sprite's HP of levels 1 to 99 from 1 to 99, Linear."));
            for (int level = 0; level < 99; ++level)
                expected[SpriteBase + 8 * level] = level + 1, expected[SpriteBase + 8 * level + 1] = 0;
            QVERIFY(stored());
            const int writer = ::open(path.toStdString().c_str(), O_RDONLY);  // another program writing the image
            QVERIFY(::flock(writer, LOCK_EX) == 0);
            type(0, 2, "9");
            QCOMPARE(status->text(), "Nothing was written: " + path + " is being changed by another program.");
            ::close(writer);
            QVERIFY(stored());
            QTest::keyClick(grid, Qt::Key_Escape);
            QVERIFY(window.isHidden());  // closed
        };
        item->trigger();
        QCOMPARE(main.findChild<QLineEdit*>("SpriteHPTXT")->text(), QString("12"));
    }
};

}  // namespace thornwake::test

QTEST_MAIN(thornwake::test::LevelTableTest)
#include "tst_level_table.moc"
