#pragma once
// The editor as a user drives it: the main window, offscreen, through the fake
// desktop, on image files in a temporary folder. A scenario is the user's steps
// ("; " between them); a step "?what" notes what the user sees then, as
// "what: text". A window the editor opens runs the steps that follow until it
// closes. Each file is read and changed apart from rom/, as another program
// would.

#include <QChartView>
#include <QValueAxis>
#include <QtTest>
#include <QtWidgets>
#include <QXYSeries>

#include "failing_disk.h"
#include "fake_desktop.h"
#include "main/main_window.h"
#include "table/level_table_model.h"

namespace thornwake::test {

// The characters in tab order; the field name stems in record order.
const QStringList Characters{"Hero", "Sprite", "Girl"};
const QStringList Stems{"HP", "MP", "STR", "AGI", "CON", "INTL", "WIS"};

struct Editor : QObject {
    QTemporaryDir folder;
    QMap<QString, QByteArray> made;  // each image as the test wrote it
    QMap<QString, QString> flashes;  // per Saved! label: "+" shown, "-" hidden, "!" after a step under 250 ms
    QElapsedTimer clock;
    QStringList steps;       // still to run
    QStringList seen;        // what the "?" steps noted
    QStringList ran;         // the menu items run, in order
    QStringList fillAnswer;  // the first and last value typed into the Fill dialog
    qsizetype boxesSeen = 0;
    RomFile other;  // another program's handle on an image
    FakeDesktop desktop;
    Main window{desktop};  // last: gone before what its labels' events reach

    Editor() {
        writesBeforeFailure = -1;
        shortWrite = 0;
        flushFails = false;
        QStandardPaths::setTestModeEnabled(true);
        QSettings("thornwake", "thornwake-editor").clear();
        make("a.smc", 0x110000, 0);
        make("b.swc", 0x110000, 1);
        for (const QString& who : Characters) find(who + "SaveLBL")->installEventFilter(this);
        for (QAction* item : window.findChildren<QAction*>()) {
            connect(item, &QAction::triggered, this, [this, item] { ran << item->objectName(); });
        }
        desktop.onModal = [this](QDialog& dialog) {
            if (dialog.objectName() == "FillDLG") return answerFill(dialog);
            if (steps.isEmpty()) return;
            dialog.show();
            QTRY_COMPARE(QApplication::activeWindow(), &dialog);
            runSteps(&dialog);
        };
        clock.start();
        window.show();
        if (!QTest::qWaitForWindowActive(&window)) qWarning("the main window did not become active");
    }
    bool eventFilter(QObject* label, QEvent* event) override {
        // a control's own binding of every key
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return false;
        }
        QString& log = flashes[label->objectName().chopped(7)];
        const bool shown = event->type() == QEvent::ShowToParent;
        if (shown || event->type() == QEvent::HideToParent) {
            if (clock.restart() < 250 && !log.isEmpty()) log += "!";
            log += shown ? "+" : "-";
        }
        return false;
    }

    template <typename T = QWidget>
    T* find(const QString& name) const {
        return window.findChild<T*>(name);
    }
    QListWidget* list(const QString& who) const { return find<QListWidget>(who + "LevelLST"); }
    QTableView* grid() const { return find<QTableView>("LevelGRID"); }
    QString path(const QString& name) const { return name.startsWith('/') ? name : folder.filePath(name); }
    // A file's name as the system's bytes: %XX stands for a byte that is not UTF-8.
    QByteArray bytes(const QString& name) const {
        return QByteArray::fromPercentEncoding(QFile::encodeName(path(name)));
    }
    // Every byte from 100 to 250: no field holds 0, 99 or 999 by chance.
    void make(const QString& name, qsizetype size, int seed = 0) {
        made[name] = QByteArray(size, 0);
        for (qsizetype i = 0; i < size; ++i) made[name][i] = char(100 + (i * 131 + (i >> 8) * 7 + seed * 17) % 151);
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(made[name]);
    }

    // Runs the steps until they end or `dialog` closes.
    void runSteps(QDialog* dialog = nullptr) {
        while (!steps.isEmpty() && (!dialog || dialog->isVisible()) && !QTest::currentTestFailed()) {
            run(steps.takeFirst());
        }
    }
    void run(const QString& step) {
        const QStringList w = step.split(' ');
        const QString arg = step.section(' ', 1);
        if (w[0].startsWith('?')) {
            seen << step.mid(1) + ": " + see(step.mid(1)).replace(folder.path(), "DIR");
        } else if (w[0] == "later") {  // inside the next command
            QTimer::singleShot(0, this, [this, arg] { run(arg); });
        } else if (w[0] == "open") {  // a name as Qt's dialog gives it
            if (!arg.isEmpty()) desktop.fileAnswers << QFile::decodeName(bytes(arg));
            find<QAction>("mnuOpen")->trigger();
        } else if (w[0] == "start") {  // the file named on the command line
            window.OpenAtStart(bytes(arg).toStdString());
        } else if (w[0] == "make") {
            make(w[1], w[2].toInt(nullptr, 0));
        } else if (w[0] == "poke") {  // another program changes a byte
            QFile file(path(w[1]));
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(w[2].toInt(nullptr, 0)));
            file.putChar(char(w[3].toInt()));
        } else if (w[0] == "answer") {
            desktop.messageAnswers << (arg == "Yes" ? QMessageBox::Yes : QMessageBox::No);
        } else if (w[0] == "menu") {
            find<QAction>(arg)->trigger();
        } else if (w[0] == "tab") {
            QTabBar* tabs = find<QTabWidget>("SelectLevelsTAB")->tabBar();
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(arg.toInt()).center());
        } else if (w[0] == "click") {
            click(w);
        } else if (w[0] == "bind") {
            find(arg)->installEventFilter(this);
        } else if (w[0] == "focus") {
            find(arg)->setFocus();
        } else if (w[0] == "key") {
            // after a control's name: each key with the focus there
            QWidget* control = find(w[1]);
            for (const QString& keys : w.mid(control ? 2 : 1)) {
                if (control) control->setFocus();
                QTest::keySequence(control ? control : QApplication::focusWidget(), QKeySequence(keys));
                QCoreApplication::processEvents();  // the grid commits a typed text in a posted call
            }
        } else if (w[0] == "type") {
            for (const QChar c : arg) QTest::keyClicks(QApplication::focusWidget(), c);
        } else if (w[0] == "row") {
            list(w[1])->setCurrentRow(w[2].toInt() - 1);
        } else if (w[0] == "set") {
            find<QLineEdit>(w[1] + w[2] + "TXT")->setText(step.section(' ', 3));
        } else if (w[0] == "hide") {
            window.hide();
        } else if (w[0] == "closebox") {  // of the main window, or of the window named
            (arg.isEmpty() ? &window : find(arg))->close();
        } else if (w[0] == "fail") {
            flushFails = arg == "flush";
            writesBeforeFailure = flushFails ? -1 : w[1].toInt();
            shortWrite = w.value(2).toInt();
        } else if (w[0] == "move") {
            made[w[2]] = made[w[1]];
            std::rename(bytes(w[1]), bytes(w[2]));
        } else if (w[0] == "link") {
            QFile::link(arg, path(arg));
        } else if (w[0] == "delete") {
            QFile::remove(path(arg));
        } else if (w[0] == "truncate") {
            QFile::resize(path(w[1]), w[2].toInt(nullptr, 0));
            made[w[1]].truncate(w[2].toInt(nullptr, 0));
        } else if (w[0] == "lock") {  // another program's lock, and how long a write waits for it
            if (!other.IsOpen()) QVERIFY(other.Open(path(w[1]).toStdString()).ok());
            QVERIFY(other.LockForWriting(std::chrono::milliseconds(0)).ok());
            window.writerLockPatience = std::chrono::milliseconds(w.value(2).toInt());
            if (auto* model = window.findChild<LevelTableModel*>()) model->lockPatience = window.writerLockPatience;
        } else if (w[0] == "unlock") {
            other.Close();
        } else if (w[0] == "clip") {
            QGuiApplication::clipboard()->setText(arg == "huge" ? QString(8 << 20, '\n') : arg);
        } else if (w[0] == "fill") {  // the first and the last value, then the curve's index if not Linear
            fillAnswer = w.mid(1);
            run("key Ctrl+F");
        } else if (w[0] == "resize") {
            const QSize size(w[1].toInt(), w[2].toInt());
            find("LevelTable")->resize(size);
            QTRY_COMPARE(find("LevelTable")->size(), size);  // a window system may take it later
        } else {
            QFAIL(qPrintable("unknown step: " + step));
        }
    }

    // "click Sprite 5" an entry of a level list, "click 12 2" a cell of the
    // Level Table (level, column), else a control by name; "ctrl" and "right"
    // at the end as the user holds them.
    void click(const QStringList& w) {
        QWidget* target = find(w[1]);
        QPoint at;
        if (Characters.contains(w[1])) {
            target = list(w[1])->viewport();
            at = list(w[1])->visualItemRect(list(w[1])->item(w[2].toInt() - 1)).center();
        } else if (!target) {
            const QModelIndex cell = grid()->model()->index(w[1].toInt() - 1, w[2].toInt());
            grid()->scrollTo(cell);
            target = grid()->viewport();
            at = grid()->visualRect(cell).center();
        }
        QTest::mouseClick(target, w.endsWith("right") ? Qt::RightButton : Qt::LeftButton,
                          w.endsWith("ctrl") ? Qt::ControlModifier : Qt::NoModifier, at);
    }

    void answerFill(QDialog& dialog) {
        dialog.findChild<QLineEdit*>("FirstTXT")->setText(fillAnswer.value(0));
        dialog.findChild<QLineEdit*>("LastTXT")->setText(fillAnswer.value(1));
        dialog.findChild<QComboBox*>("CurveCMB")->setCurrentIndex(fillAnswer.value(2).toInt());
        seen << "preview: " + points(1);
        dialog.accept();
    }
    // A series of the chart (the values stored, the preview, the marks) as
    // "level:value" each, or only how many.
    QString points(int series) const {
        const auto* line = static_cast<QXYSeries*>(find<QChartView>("CurveCHART")->chart()->series()[series]);
        QStringList shown;
        for (const QPointF& point : line->points()) shown << QString("%1:%2").arg(point.x()).arg(point.y());
        if (shown.size() > 9)
            shown = QStringList{QString("%1 points, %2 to %3").arg(shown.size()).arg(shown[0], shown.last())};
        return (line->pen().style() == Qt::DashLine ? "dashed " : "") + shown.join(' ');
    }

    QString see(const QString& what) {
        QStringList parts;
        if (what == "caption") return window.windowTitle();
        if (what == "box") return desktop.messages.value(boxesSeen++);
        if (what == "ran") return ran.join(' ');
        if (what == "urls") return QUrl::toStringList(desktop.openedUrls).join(' ');
        if (what.startsWith("flash")) return flashes.value(what.section(' ', 1));
        if (what.startsWith("file")) return changes(what.section(' ', 1));
        if (what == "focus") {
            QWidget* focus = QApplication::focusWidget();
            if (focus && grid())
                return focus->objectName() + " at " + grid()->currentIndex().data(Qt::AccessibleTextRole).toString();
            return focus ? focus->objectName() : "none";
        }
        if (what == "info" || what == "status") {
            const QString text = find<QLabel>(what == "info" ? "InfoLBL" : "StatusLBL")->text();
            return text + (QApplication::overrideCursor() ? ", busy" : "");
        }
        if (what == "chart") {  // the title, the series, the axes
            QChart* chart = find<QChartView>("CurveCHART")->chart();
            const auto* levels = static_cast<QValueAxis*>(chart->axes(Qt::Horizontal)[0]);
            const auto* values = static_cast<QValueAxis*>(chart->axes(Qt::Vertical)[0]);
            return chart->title() + "; line " + points(0) + "; preview " + points(1) + "; marked " + points(2) +
                   QString("; levels %1 to %2 by %3; values %4 to %5")
                       .arg(levels->min())
                       .arg(levels->max())
                       .arg(levels->tickInterval())
                       .arg(values->min())
                       .arg(values->max());
        }
        if (what == "character") return find<QComboBox>("CharacterCMB")->currentText();
        if (what == "size") {
            QWidget* table = find("LevelTable");
            return QString("%1 x %2, at least %3 x %4")
                .arg(table->width())
                .arg(table->height())
                .arg(table->minimumWidth())
                .arg(table->minimumHeight());
        }
        if (what == "dialog") {  // the last Open ROM dialog
            const OpenFileRequest asked = desktop.fileRequests.value(desktop.fileRequests.size() - 1);
            return asked.filters.join(" / ") + QString(", #%1, ").arg(asked.selectedFilter) + asked.fileName;
        }
        // the title, each label front to back (its alignment in hex: 21 top
        // left, 24 top centre; its text and tip), the tab order ("*" takes the focus)
        if (what == "about") {
            QWidget* about = find("About");
            parts << about->windowTitle();
            for (QLabel* label : about->findChildren<QLabel*>()) {
                parts << QString::number(label->alignment(), 16) + " " + label->text() + label->toolTip();
            }
            for (QWidget* w = about->nextInFocusChain(); w != about; w = w->nextInFocusChain()) {
                parts << w->objectName() + (w->focusPolicy() ? "*" : "");
            }
            return parts.join('|');
        }
        for (QWidget* shown : QApplication::topLevelWidgets()) {
            if (what == "windows" && shown->isVisible()) parts << shown->objectName();
        }
        parts.sort();
        for (int code : desktop.endCalls) {
            if (what == "end") parts << QString::number(code);
        }
        for (const char* button : {"UndoCMD", "RedoCMD"}) {
            if (what == "undo" && find(button)->isEnabled()) parts << button;
        }
        for (QAction* menu : what == "menus" ? window.menuBar()->actions() : QList<QAction*>()) {
            for (QAction* item : QList{menu} + menu->menu()->actions()) {
                const QString text = item->text() + " " + item->shortcut().toString();
                parts << (item->isSeparator() ? "-," : text.trimmed() + ",");
            }
        }
        for (QObject* control : window.findChildren<QObject*>(QRegularExpression("^mnu(?!Sep)|(LST|TXT|CMD|TAB)$"))) {
            if (what == "enabled" && control->property("enabled").toBool()) parts << control->objectName();
        }
        for (const QString& who : Characters) {
            if (what == "panels" ? find(who + "FRM")->isVisible()
                                 : what == "saves" && find(who + "SaveCMD")->isEnabled()) {
                parts << who;
            }
            if (what == who + " captions") {
                for (QLabel* label : find(who + "FRM")->findChildren<QLabel*>()) parts << label->text();
            }
        }
        if (what == "panels") parts << QString("(tab %1)").arg(find<QTabWidget>("SelectLevelsTAB")->currentIndex());
        if (Characters.contains(what)) {  // the level picked and the fields' texts
            for (const QString& stem : Stems) {
                if (auto* field = find<QLineEdit>(what + stem + "TXT")) parts << field->text();
            }
            const int level = list(what)->selectionModel()->selectedRows().value(0).row() + 1;
            return QString("level %1: ").arg(level) + parts.join('|');
        }
        if (what == "enabled" && parts.size() == 13 + 28) return "all";
        return parts.join(' ');
    }

    // How a file differs from what the test wrote: the fields changed, level
    // by level (the tables lie end to end from 0x104210: Hero, Girl, Sprite),
    // neighbouring levels with the same changes in one entry; any other byte.
    QString changes(const QString& name) const {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly)) return "gone";
        const QByteArray now = file.readAll();
        const QByteArray was = made[name];
        const qsizetype tables = 0x104210, end = tables + 3 * 99 * 8;
        QStringList runs;
        QString last;  // the changes of the level before
        for (int record = 0, first = 0; record < 3 * 99 && now.size() == was.size(); ++record) {
            const int level = record % 99 + 1;
            QString fields;
            for (int field = 0; field < 7; ++field) {
                const qsizetype at = tables + 8 * record + field + (field > 0 ? 1 : 0);
                const int value = field > 0 ? uchar(now[at]) : qFromLittleEndian<qint16>(now.constData() + at);
                if (now.mid(at, field > 0 ? 1 : 2) != was.mid(at, field > 0 ? 1 : 2)) {
                    fields += QString(" %1 %2").arg(Stems[field]).arg(value);
                }
            }
            const QString who = QStringList{"Hero", "Girl", "Sprite"}[record / 99];
            if (!fields.isEmpty() && level > 1 && fields == last) {
                runs.last() = QString("%1 %2-%3").arg(who).arg(first).arg(level) + fields;
            } else if (!fields.isEmpty()) {
                first = level;
                runs << QString("%1 %2").arg(who).arg(level) + fields;
            }
            last = fields;
        }
        if (now.left(tables) != was.left(tables) || now.mid(end) != was.mid(end)) {
            runs << QString("other bytes, %1 in all").arg(now.size());
        }
        return runs.isEmpty() ? "unchanged" : runs.join(", ");
    }
};

}  // namespace thornwake::test

namespace thornwake::test {

// A table of scenarios: the steps, then what is seen: what the "?" steps
// noted, then what each further line asks about, asked after the last step.
// "…" in a line stands for any text. Every message box shown must be seen.
inline void ScenarioColumns() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("seen");
}

inline void RunScenario() {
    QFETCH(QString, steps);
    QFETCH(QStringList, seen);
    if (const QString why = WhyNotHere(); !why.isEmpty()) QSKIP(qPrintable(why));
    Editor editor;
    editor.steps = steps.split("; ", Qt::SkipEmptyParts);
    editor.runSteps();
    for (qsizetype i = editor.seen.size(); i < seen.size(); ++i) editor.run("?" + seen[i].section(": ", 0, 0));
    for (qsizetype i = 0; i < seen.size() && i < editor.seen.size(); ++i) {
        const qsizetype cut = seen[i].indexOf(u'…');
        if (cut > 0 && editor.seen[i].startsWith(seen[i].left(cut)) && editor.seen[i].endsWith(seen[i].mid(cut + 1))) {
            editor.seen[i] = seen[i];
        }
    }
    QCOMPARE(editor.seen, seen);
    QCOMPARE(editor.desktop.messages.mid(editor.boxesSeen), QStringList());
}

}  // namespace thornwake::test
