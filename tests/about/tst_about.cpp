// The About window and the Help menu of the main window.

#include <QtTest>
#include <QtWidgets>

#include "fake_desktop.h"
#include "ui/main/main_window.h"

using namespace thornwake::test;

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    // F12 asks for the page. F1 and the menu item each show a fresh About
    // window over the main window, gone afterwards: its texts; a right click
    // on the link does nothing, a left click asks for the page and leaves the
    // window open; Enter, Esc, Close and the close box each close it.
    void helpMenuAndAboutWindow() {
        FakeDesktop desktop;
        thornwake::Main main(desktop);
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_F12);
        desktop.onModal = [&](QDialog& dialog) {
            dialog.show();
            QVERIFY(dialog.parentWidget() == &main && QTest::qWaitForWindowExposed(&dialog));
            QStringList texts{dialog.windowTitle()};
            for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text() + label->toolTip();
            QCOMPARE(texts.join("|"), "About this program...||Released: 11/20/2011\r\nUpdated:  12/15/2011\r\n"
                     "Version: 0.22b\r\n\r\nSpecial thanks: \r\nNo one yet...|"
                     "https://quillfern-soft.example/Visit the Quillfern-Soft Homepage.|"
                     "This program is not made, endorsed or supported by the makers or publishers of Thornwake or "
                     "any of their divisions.  Keep a backup of your ROM image: every change is written at once and "
                     "cannot be undone.");
            QStringList chain;  // the tab order; "*" takes the focus
            for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain())
                chain << w->objectName() + (w->focusPolicy() ? "*" : "");
            QCOMPARE(chain.join(' '), "Frame1 WarningLBL CloseCMD* ProgramInfoLBL URLLBL Image1");
            QTest::mouseClick(dialog.findChild<QLabel*>("URLLBL"), Qt::RightButton);
            QTest::mouseClick(dialog.findChild<QLabel*>("URLLBL"), Qt::LeftButton);
            const auto shown = desktop.openedUrls.size() - 1;  // About windows so far, each asked once for the page
            if (shown < 3) QTest::keyClick(&dialog, shown == 1 ? Qt::Key_Return : Qt::Key_Escape);
            else shown == 3 ? QTest::mouseClick(dialog.findChild<QPushButton*>("CloseCMD"), Qt::LeftButton)
                    : void(dialog.close());
            QVERIFY(!dialog.isVisible());
        };
        QTest::keyClick(&main, Qt::Key_F1);
        for (int i = 0; i < 3; ++i) main.findChild<QAction*>("mnuAbout")->trigger();
        QCOMPARE(desktop.openedUrls, QList<QUrl>(5, QUrl("https://quillfern-soft.example/")));
        QVERIFY(desktop.messages.isEmpty() && main.findChildren<QDialog*>().isEmpty());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
