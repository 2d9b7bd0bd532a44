#pragma once
// The program's version and web page: the one place the main window's
// caption, the About window and the Help menu take them from.

#include <QString>

namespace thornwake {

constexpr int VersionMajor = 0;
constexpr int VersionMinor = 0;  // never shown
constexpr int VersionRevision = 22;

// "0.22b": major, ".", revision, "b".
inline QString VersionText(int major = VersionMajor, int revision = VersionRevision) {
    return QStringLiteral("%1.%2b").arg(major).arg(revision);
}

// A packager may point these at another page.
constexpr const char* WebPageAddress = "https://quillfern-soft.example/";
constexpr const char* WebPageHost = "quillfern-soft.example";

}  // namespace thornwake
