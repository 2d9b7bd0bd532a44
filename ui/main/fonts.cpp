#include "main/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace thornwake {

namespace {

const QString Tahoma = QStringLiteral("Tahoma");

bool TahomaAvailable() {
    static const bool available = [] {
        if (QFontDatabase::families().contains(Tahoma, Qt::CaseInsensitive)) return true;
#ifdef Q_OS_WIN
        return false;  // a system font of Windows: there is nowhere else to look
#else
        // fontconfig does not list the copies that come with Wine.
        for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
            QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        }
        return QFontDatabase::families().contains(Tahoma, Qt::CaseInsensitive);
#endif
    }();
    return available;
}

}  // namespace

QFont ProgramFont(double pointSize, bool bold) {
    QFont font;
    if (TahomaAvailable()) {
        font.setFamily(Tahoma);
        font.setPointSizeF(pointSize);
    } else {
        // Common sans faces run wider than Tahoma; a slightly smaller size
        // keeps the captions inside their fixed boxes.
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(pointSize * 0.95);
    }
    font.setBold(bold);
    return font;
}

}  // namespace thornwake
