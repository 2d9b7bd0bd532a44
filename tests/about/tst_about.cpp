// The About window and the Help menu of the main window.

#include <QtTest>
#include <QtWidgets>

#include "fake_desktop.h"
#include "ui/about/about.h"
#include "ui/main/main_window.h"
#include "ui/program_info.h"

using namespace thornwake;
using namespace thornwake::test;

class TestAbout : public QObject {
    Q_OBJECT

    const QUrl webPage{QString::fromLatin1(WebPageAddress)};

private slots:
    void programInfoText() {
        for (const auto& [major, revision, version] : {std::tuple{0, 22, "0.22b"}, {1, 5, "1.5b"}}) {
            QCOMPARE(ProgramInfoText(major, revision),
                     QStringLiteral("Released: 11/20/2011\r\nUpdated:  12/15/2011\r\nVersion: ") + version
                         + "\r\n\r\nSpecial thanks: \r\nNo one yet...");
        }
    }

    // The link asks once for the page and leaves the window open; Enter, Esc,
    // Close and the close box each close it, and it is gone afterwards.
    void linkThenClose_data() {
        QTest::addColumn<QString>("how");
        for (const char* how : {"Enter", "Esc", "Close button", "close box"}) QTest::newRow(how) << how;
    }
    void linkThenClose() {
        QFETCH(QString, how);
        QWidget owner;
        FakeDesktop desktop;
        QPointer<QDialog> opened;
        desktop.onModal = [&](QDialog& dialog) {
            opened = &dialog;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            auto* link = dialog.findChild<QLabel*>("URLLBL");
            QTest::mouseClick(link, Qt::RightButton);
            QVERIFY(desktop.openedUrls.isEmpty());
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(desktop.openedUrls, QList<QUrl>{webPage});
            QVERIFY(dialog.isVisible());
            if (how == "Enter") QTest::keyClick(&dialog, Qt::Key_Return);
            if (how == "Esc") QTest::keyClick(&dialog, Qt::Key_Escape);
            if (how == "Close button") QTest::mouseClick(dialog.findChild<QPushButton*>("CloseCMD"), Qt::LeftButton);
            if (how == "close box") dialog.close();
            QVERIFY(!dialog.isVisible());
        };
        ShowAbout(desktop, &owner);
        QCOMPARE(desktop.modalCount, 1);
        QCOMPARE(desktop.openedUrls.size(), 1);
        QVERIFY(opened.isNull() && owner.findChildren<About*>().isEmpty());
    }

    // With no image open, F12 asks once for the page and shows nothing. F1
    // and the menu item each show a fresh About window over the main window,
    // with this version, gone afterwards.
    void helpMenu() {
        FakeDesktop desktop;
        Main main(desktop);
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_F12);
        QCOMPARE(desktop.openedUrls, QList<QUrl>{webPage});
        QVERIFY(desktop.modalCount == 0 && desktop.messages.isEmpty() && desktop.fileRequests.isEmpty());
        QList<QPointer<QDialog>> shown;
        desktop.onModal = [&](QDialog& dialog) {
            shown.append(&dialog);
            QVERIFY(qobject_cast<About*>(&dialog) && dialog.parentWidget() == &main);
            QCOMPARE(dialog.findChild<QLabel*>("ProgramInfoLBL")->text(), ProgramInfoText(0, 22));
        };
        QTest::keyClick(&main, Qt::Key_F1);
        main.findChild<QAction*>("mnuAbout")->trigger();
        QCOMPARE(desktop.modalCount, 2);
        QVERIFY(shown.value(0).isNull() && shown.value(1).isNull() && main.findChildren<About*>().isEmpty());
        QCOMPARE(desktop.openedUrls.size(), 1);
    }

    // Tab order Frame1, WarningLBL, CloseCMD, ProgramInfoLBL, URLLBL, of which
    // only the Close button takes the focus.
    void tabChain() {
        FakeDesktop desktop;
        About about(desktop, nullptr);
        QStringList chain, focusable;
        for (QWidget* w = about.nextInFocusChain(); w != &about; w = w->nextInFocusChain())
            if (w->objectName() != "Image1") chain << w->objectName();
        for (QWidget* w : about.findChildren<QWidget*>())
            if (w->focusPolicy() != Qt::NoFocus) focusable << w->objectName();
        QCOMPARE(chain, (QStringList{"Frame1", "WarningLBL", "CloseCMD", "ProgramInfoLBL", "URLLBL"}));
        QCOMPARE(focusable, QStringList{"CloseCMD"});
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
