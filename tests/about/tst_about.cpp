// The About window and the Help menu of the main window (editor_session.h).

#include "editor_session.h"

using namespace thornwake::test;

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void scenario() { RunScenario(); }
    void scenario_data() {
        ScenarioColumns();
        // The About window over the main window: a right click on the link does
        // nothing, a left click asks for the page and leaves the window open;
        // Enter, Esc, Close and the close box each close it.
        QTest::addRow("F12, F1, Help > About")
            << "key F12; key F1; ?about; click URLLBL right; click URLLBL; ?windows; key Return; "
               "?windows; menu mnuAbout; key Esc; ?windows; menu mnuAbout; click CloseCMD; ?windows; "
               "menu mnuAbout; closebox About; ?windows"
            << QStringList{
                   "about: About this program...|21 |21 Released: 11/20/2011\r\nUpdated:  "
                   "12/15/2011\r\nVersion: 0.22b\r\n\r\nSpecial thanks: \r\nNo one yet...|"
                   "24 https://quillfern-soft.example/Visit the Quillfern-Soft Homepage.|"
                   "21 This program is not made, endorsed or supported by the makers or "
                   "publishers of Thornwake or any of their divisions.  Keep a backup of your "
                   "ROM image: every change is written at once and cannot be undone.|"
                   "Frame1|WarningLBL|CloseCMD*|ProgramInfoLBL|URLLBL|Image1",
                   "windows: About Main",
                   "windows: Main",
                   "windows: Main",
                   "windows: Main",
                   "windows: Main",
                   "urls: https://quillfern-soft.example/ https://quillfern-soft.example/"};
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
