// The Help menu of the main window: the web page and the About window.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fake_desktop.h"
#include "ui/about/about.h"
#include "ui/main/main_window.h"
#include "ui/program_info.h"

using namespace thornwake;

namespace {

QAction* item(Main& main, const char* name) {
    QAction* action = main.findChild<QAction*>(QString::fromLatin1(name));
    if (!action) qFatal("no menu item %s", name);
    return action;
}

// Shows `main` and makes it the active window, so that its shortcuts work.
bool activate(Main& main) {
    main.show();
    QApplication::setActiveWindow(&main);
    return QTest::qWaitForWindowActive(&main);
}

}  // namespace

class TestHelpMenu : public QObject {
    Q_OBJECT

private slots:
    void items() {
        FakeDesktop desktop;
        Main main(desktop);
        QAction* www = item(main, "mnuWWW");
        QAction* about = item(main, "mnuAbout");
        QCOMPARE(www->text(), QStringLiteral("Visit quillfern-soft.example"));
        QCOMPARE(www->text(), QStringLiteral("Visit ") + QString::fromLatin1(WebPageHost));
        QCOMPARE(www->shortcut(), QKeySequence(Qt::Key_F12));
        QCOMPARE(about->text(), QStringLiteral("&About"));
        QCOMPARE(about->shortcut(), QKeySequence(Qt::Key_F1));
        QVERIFY(www->isEnabled());
        QVERIFY(about->isEnabled());
    }

    // With no ROM image open, F12 asks once for the page and shows nothing.
    void visitThePageWithNoImageOpen() {
        FakeDesktop desktop;
        Main main(desktop);
        QVERIFY(activate(main));
        QTest::keyClick(&main, Qt::Key_F12);
        QCOMPARE(desktop.openedUrls, QList<QUrl>{QUrl(QString::fromLatin1(WebPageAddress))});
        QCOMPARE(desktop.modalCount, 0);
        QCOMPARE(desktop.messageCount, 0);
        QCOMPARE(desktop.fileDialogCount, 0);
    }

    // F1 shows a fresh About window over the main window each time, with
    // the version the main window's caption shows, and it is gone afterwards.
    void aboutOpensAfreshEachTime() {
        FakeDesktop desktop;
        Main main(desktop);
        QVERIFY(activate(main));
        QList<QPointer<QDialog>> shown;
        desktop.onModal = [&](QDialog& dialog) {
            shown.append(&dialog);
            QVERIFY(qobject_cast<About*>(&dialog));
            QCOMPARE(dialog.parentWidget(), &main);
            const QString info = dialog.findChild<QLabel*>(QStringLiteral("ProgramInfoLBL"))->text();
            QCOMPARE(info, ProgramInfoText(VersionMajor, VersionRevision));
            QVERIFY(info.contains(QStringLiteral("\r\nVersion: ") + VersionText() + QStringLiteral("\r\n")));
        };
        QTest::keyClick(&main, Qt::Key_F1);
        item(main, "mnuAbout")->trigger();
        QCOMPARE(desktop.modalCount, 2);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).isNull() && shown.at(1).isNull());
        QVERIFY(main.findChildren<About*>().isEmpty());
        QVERIFY(VersionedCaption().contains(VersionText()));
        QVERIFY(desktop.openedUrls.isEmpty());
    }

    // The real desktop: the About window is application modal while it is
    // open, the link leaves it open, and Close ends the command.
    void aboutIsModalOverTheMainWindow() {
        // Only the browser request is kept away from the real desktop.
        struct NoBrowser : SystemDesktop {
            QList<QUrl> opened;
            void openUrl(const QUrl& url) override { opened.append(url); }
        } desktop;
        Main main(desktop);
        QVERIFY(activate(main));
        bool checked = false;
        QTimer::singleShot(0, [&] {
            About* about = main.findChild<About*>();
            if (!about) return;  // nothing to close; the check below fails
            checked = QApplication::activeModalWidget() == about
                      && about->windowModality() == Qt::ApplicationModal;
            QTest::mouseClick(about->findChild<QLabel*>(QStringLiteral("URLLBL")), Qt::LeftButton);
            checked = checked && about->isVisible() && desktop.opened.size() == 1;
            QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("CloseCMD")), Qt::LeftButton);
        });
        item(main, "mnuAbout")->trigger();  // returns when the window is closed
        QVERIFY(checked);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(main.findChildren<About*>().isEmpty());
    }
};

QTEST_MAIN(TestHelpMenu)
#include "tst_help_menu.moc"
