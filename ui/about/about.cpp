#include "ui/about/about.h"

#include "ui/desktop.h"
#include "ui/program_info.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace thornwake {

QString ProgramInfoText(int major, int revision) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Released: 11/20/2011") + crlf
         + QStringLiteral("Updated:  12/15/2011") + crlf
         + QStringLiteral("Version: ") + VersionText(major, revision) + crlf + crlf
         + QStringLiteral("Special thanks: ") + crlf
         + QStringLiteral("No one yet...");
}

About::About(Desktop& desktop, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About this program..."));
    setFixedSize(532, 283);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(4, 4, 393, 151);
    image->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));

    auto* info = new QLabel(ProgramInfoText(VersionMajor, VersionRevision), this);
    info->setObjectName(QStringLiteral("ProgramInfoLBL"));
    info->setGeometry(238, 90, 291, 137);

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(-108, 220, 735, 269);

    auto* close = new QPushButton(QStringLiteral("&Close"), frame);
    close->setObjectName(QStringLiteral("CloseCMD"));
    close->setGeometry(522, 36, 113, 21);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    (void)desktop;
}

void ShowAbout(Desktop& desktop, QWidget* owner) {
    About about(desktop, owner);
    desktop.runModal(about);
}

}  // namespace thornwake
