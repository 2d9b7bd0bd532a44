#pragma once
// The About window: logo, release and version information, disclaimer, link.

#include <QDialog>
#include <QString>

namespace thornwake {

class Desktop;

// The six lines of the program information, joined by CR LF.
QString ProgramInfoText(int major, int revision);

class About : public QDialog {
    Q_OBJECT
public:
    About(Desktop& desktop, QWidget* owner);
};

// mnuAbout: builds a fresh About window over `owner`, shows it modally
// through `desktop` and destroys it when it is closed.
void ShowAbout(Desktop& desktop, QWidget* owner);

}  // namespace thornwake
