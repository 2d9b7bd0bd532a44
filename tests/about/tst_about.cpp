// The About window on its own: its text, its layout, the link, closing it,
// and the artwork it and the main window show.

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "fake_desktop.h"
#include "ui/about/about.h"
#include "ui/program_info.h"

using namespace thornwake;

namespace {

const QString Disclaimer = QStringLiteral(
    "This program is not made, endorsed or supported by the makers or publishers of "
    "Thornwake or any of their divisions.  Keep a backup of your ROM image: every "
    "change is written at once and cannot be undone.");

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no child %s", name);
    return found;
}

// Distinct colours of the opaque pixels; -1 when some pixel is half transparent.
int opaqueColourCount(const QImage& image) {
    QSet<QRgb> colours;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb pixel = argb.pixel(x, y);
            if (qAlpha(pixel) == 255) colours.insert(pixel);
            else if (qAlpha(pixel) != 0) return -1;
        }
    }
    return colours.size();
}

bool hasTransparentPixel(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) == 0) return true;
    return false;
}

}  // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void programInfoText_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("expected");
        QTest::newRow("this release") << 0 << 22
            << QStringLiteral("Released: 11/20/2011\r\nUpdated:  12/15/2011\r\nVersion: 0.22b\r\n"
                              "\r\nSpecial thanks: \r\nNo one yet...");
        QTest::newRow("1.5") << 1 << 5
            << QStringLiteral("Released: 11/20/2011\r\nUpdated:  12/15/2011\r\nVersion: 1.5b\r\n"
                              "\r\nSpecial thanks: \r\nNo one yet...");
    }
    void programInfoText() {
        QFETCH(int, major);
        QFETCH(int, revision);
        QFETCH(QString, expected);
        const QString text = ProgramInfoText(major, revision);
        QCOMPARE(text, expected);
        QCOMPARE(text.split(QStringLiteral("\r\n")).size(), 6);
        QCOMPARE(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
    }

    // The version line shows the same text as the main window's caption.
    void infoLabelShowsTheProgramsVersion() {
        FakeDesktop desktop;
        About about(desktop, nullptr);
        const QString text = child<QLabel>(about, "ProgramInfoLBL")->text();
        QCOMPARE(text, ProgramInfoText(VersionMajor, VersionRevision));
        QCOMPARE(text.split(QStringLiteral("\r\n")).value(2), QStringLiteral("Version: ") + VersionText());
    }

    void eachOpeningBuildsAFreshWindow() {
        QWidget owner;
        FakeDesktop desktop;
        QList<QPointer<QDialog>> shown;
        QStringList texts;
        desktop.onModal = [&](QDialog& dialog) {
            shown.append(&dialog);
            texts.append(child<QLabel>(dialog, "ProgramInfoLBL")->text());
            QCOMPARE(dialog.parentWidget(), &owner);
        };
        ShowAbout(desktop, &owner);
        ShowAbout(desktop, &owner);
        QCOMPARE(desktop.modalCount, 2);
        QCOMPARE(texts, QStringList(2, ProgramInfoText(VersionMajor, VersionRevision)));
        // Both are gone once their opening is over.
        QVERIFY(shown.at(0).isNull());
        QVERIFY(shown.at(1).isNull());
        QVERIFY(owner.findChildren<About*>().isEmpty());
        QVERIFY(desktop.openedUrls.isEmpty());
    }

    void windowAndControls() {
        FakeDesktop desktop;
        About about(desktop, nullptr);
        QCOMPARE(about.windowTitle(), QStringLiteral("About this program..."));
        QCOMPARE(about.size(), QSize(532, 283));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(!(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(about.windowFlags() & Qt::WindowCloseButtonHint);

        // Only the frame's top edge lies inside the window: a separator.
        auto* frame = child<QFrame>(about, "Frame1");
        QCOMPARE(frame->parentWidget(), &about);
        QVERIFY(frame->x() < 0);
        QVERIFY(frame->geometry().right() >= about.width());
        QVERIFY(frame->geometry().bottom() >= about.height());
        QCOMPARE(frame->y(), 220);

        auto* warning = child<QLabel>(about, "WarningLBL");
        auto* close = child<QPushButton>(about, "CloseCMD");
        QCOMPARE(warning->parentWidget(), frame);
        QCOMPARE(close->parentWidget(), frame);
        QCOMPARE(warning->text(), Disclaimer);
        QVERIFY(warning->wordWrap());
        QCOMPARE(close->text(), QStringLiteral("&Close"));
        // Where they land in the window, not in the frame.
        QCOMPARE(QRect(close->mapTo(&about, QPoint(0, 0)), close->size()), QRect(414, 256, 113, 21));
        QCOMPARE(QRect(warning->mapTo(&about, QPoint(0, 0)), warning->size()), QRect(4, 234, 387, 43));

        auto* link = child<QLabel>(about, "URLLBL");
        QCOMPARE(link->text(), QString::fromLatin1(WebPageAddress));
        QCOMPARE(link->toolTip(), QStringLiteral("Visit the Quillfern-Soft Homepage."));
        QCOMPARE(link->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));

        auto* image = child<QLabel>(about, "Image1");
        QCOMPARE(image->geometry(), QRect(4, 4, 393, 151));
        QCOMPARE(image->pixmap().size(), QSize(393, 151));
        QVERIFY(hasTransparentPixel(image->pixmap().toImage()));

        // The link and the information lie over the logo, in front of it.
        auto* info = child<QLabel>(about, "ProgramInfoLBL");
        QVERIFY(image->geometry().intersects(link->geometry()));
        QVERIFY(image->geometry().intersects(info->geometry()));
        const QObjectList order = about.children();
        QVERIFY(order.indexOf(image) < order.indexOf(link));
        QVERIFY(order.indexOf(image) < order.indexOf(info));
        for (QWidget* label : {static_cast<QWidget*>(link), static_cast<QWidget*>(info),
                               static_cast<QWidget*>(warning), static_cast<QWidget*>(image)}) {
            QVERIFY(!label->autoFillBackground());
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        }

        const QImage icon = about.windowIcon().pixmap(16, 16).toImage();
        QCOMPARE(icon.size(), QSize(16, 16));
        QVERIFY(icon.convertToFormat(QImage::Format_ARGB32)
                != QImage(QStringLiteral(":/icons/thornwake.png")).convertToFormat(QImage::Format_ARGB32));
    }

    void opensCentredOverItsOwner() {
        QWidget owner;
        owner.setGeometry(150, 120, 353, 360);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        FakeDesktop desktop;
        About about(desktop, &owner);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QPoint offset = about.frameGeometry().center() - owner.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QStringLiteral("off by %1, %2").arg(offset.x()).arg(offset.y())));
    }

    void closeHasTheFocusAndEnterOrEscCloses_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }
    void closeHasTheFocusAndEnterOrEscCloses() {
        QFETCH(int, key);
        FakeDesktop desktop;
        About about(desktop, nullptr);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.focusWidget(), child<QPushButton>(about, "CloseCMD"));
        QTest::keyClick(&about, Qt::Key(key));
        QVERIFY(!about.isVisible());
        QVERIFY(desktop.openedUrls.isEmpty());
    }

    // The link asks once for the page and leaves the window open; Close and
    // the close box both end the opening, and the window with it.
    void linkThenClose_data() {
        QTest::addColumn<bool>("byCloseBox");
        QTest::newRow("Close button") << false;
        QTest::newRow("close box") << true;
    }
    void linkThenClose() {
        QFETCH(bool, byCloseBox);
        QWidget owner;
        FakeDesktop desktop;
        QPointer<QDialog> opened;
        desktop.onModal = [&](QDialog& dialog) {
            opened = &dialog;
            dialog.show();
            auto* link = child<QLabel>(dialog, "URLLBL");
            QTest::mouseClick(link, Qt::RightButton);
            QVERIFY(desktop.openedUrls.isEmpty());
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(desktop.openedUrls, QList<QUrl>{QUrl(QString::fromLatin1(WebPageAddress))});
            QVERIFY(dialog.isVisible());
            if (byCloseBox) dialog.close();
            else QTest::mouseClick(child<QPushButton>(dialog, "CloseCMD"), Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
        };
        ShowAbout(desktop, &owner);
        QCOMPARE(desktop.modalCount, 1);
        QCOMPARE(desktop.openedUrls.size(), 1);
        QVERIFY(opened.isNull());
        QVERIFY(owner.findChildren<About*>().isEmpty());
    }

    // Small icons: 16 x 16, at most 16 colours, a transparent surround.
    void smallIcons_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("main window") << QStringLiteral(":/icons/thornwake.png");
        QTest::newRow("About window") << QStringLiteral(":/icons/about.png");
        QTest::newRow("information") << QStringLiteral(":/icons/info.png");
    }
    void smallIcons() {
        QFETCH(QString, path);
        const QImage image(path);
        QCOMPARE(image.size(), QSize(16, 16));
        const int colours = opaqueColourCount(image);
        QVERIFY2(colours > 1 && colours <= 16, qPrintable(QString::number(colours)));
        QVERIFY(hasTransparentPixel(image));
    }

    void largerProgramIcons() {
        for (int size : {32, 48}) {
            const QImage image(QStringLiteral(":/icons/thornwake-%1.png").arg(size));
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(hasTransparentPixel(image));
        }
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
