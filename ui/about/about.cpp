#include "ui/about/about.h"

#include "ui/desktop.h"
#include "ui/main/fonts.h"
#include "ui/main/twips.h"
#include "ui/program_info.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

#include <functional>
#include <utility>

namespace thornwake {

namespace {

const char* const Disclaimer =
    "This program is not made, endorsed or supported by the makers or publishers of "
    "Thornwake or any of their divisions.  Keep a backup of your ROM image: every "
    "change is written at once and cannot be undone.";

// A label that reports a left click released over it.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
        : QLabel(text, parent), onClick_(std::move(onClick)) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) onClick_();
        QLabel::mouseReleaseEvent(event);
    }

private:
    std::function<void()> onClick_;
};

}  // namespace

QString ProgramInfoText(int major, int revision) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Released: 11/20/2011") + crlf + QStringLiteral("Updated:  12/15/2011") + crlf +
           QStringLiteral("Version: ") + VersionText(major, revision) + crlf + crlf +
           QStringLiteral("Special thanks: ") + crlf + QStringLiteral("No one yet...");
}

// Children are created in the tab order Frame1 (with WarningLBL, CloseCMD),
// ProgramInfoLBL, URLLBL, which Qt keeps as the focus chain (its setTabOrder
// passes over controls that take no focus, and only CloseCMD takes it), and
// are then stacked as designed.
About::About(Desktop& desktop, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About this program..."));
    setWindowIcon(QIcon(QStringLiteral(":/icons/about.png")));
    setFont(ProgramFont(8.25));
    setFixedSize(TwipsRect(0, 0, 7980, 4245).size());

    // Wider and deeper than the window, so that only its top edge shows: a
    // separator above the disclaimer and the Close button.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(TwipsRect(-1620, 3300, 11025, 4035));

    auto* warning = new QLabel(QString::fromLatin1(Disclaimer), frame);
    warning->setObjectName(QStringLiteral("WarningLBL"));
    warning->setGeometry(TwipsRect(1680, 210, 5805, 645));
    warning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    warning->setWordWrap(true);

    auto* close = new QPushButton(QStringLiteral("&Close"), frame);
    close->setObjectName(QStringLiteral("CloseCMD"));
    close->setGeometry(TwipsRect(7830, 540, 1695, 315));
    close->setDefault(true);
    close->setFocus();
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* info = new QLabel(ProgramInfoText(VersionMajor, VersionRevision), this);
    info->setObjectName(QStringLiteral("ProgramInfoLBL"));
    info->setGeometry(TwipsRect(3570, 1350, 4365, 2055));
    info->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* link = new LinkLabel(QString::fromLatin1(WebPageAddress), this,
                               [&desktop] { desktop.openUrl(QUrl(QString::fromLatin1(WebPageAddress))); });
    link->setObjectName(QStringLiteral("URLLBL"));
    link->setGeometry(TwipsRect(180, 2250, 3000, 195));
    link->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    link->setToolTip(QStringLiteral("Visit the Quillfern-Soft Homepage."));
    link->setCursor(Qt::PointingHandCursor);
    QFont linkFont = link->font();
    linkFont.setUnderline(true);
    link->setFont(linkFont);
    QPalette linkPalette = link->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    link->setPalette(linkPalette);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(TwipsRect(60, 60, 5895, 2265));
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));

    // Front to back: Frame1 over ProgramInfoLBL, the two labels over the logo.
    image->lower();
    frame->raise();
}

void ShowAbout(Desktop& desktop, QWidget* owner) {
    About about(desktop, owner);  // gone when the window closes
    desktop.runModal(about);
}

}  // namespace thornwake
