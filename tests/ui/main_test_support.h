#pragma once
// The main window offscreen, driven through the fake desktop, on image files
// in a temporary folder that are checked byte for byte without the program's
// own code.

#include <QtTest>
#include <QtWidgets>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "fake_desktop.h"
#include "main/main_window.h"

namespace thornwake::test {

using Bytes = std::vector<std::uint8_t>;

// Table offsets as the game stores them, written out apart from rom/.
constexpr std::uint32_t HeroBase = 0x104210, GirlBase = 0x104528, SpriteBase = 0x104840;
constexpr std::size_t ImageSize = 0x110000;
inline const QStringList Characters{"Hero", "Sprite", "Girl"};
inline const QStringList Stems{"HP", "MP", "STR", "AGI", "CON", "INTL", "WIS"};  // record order
inline const QString Versioned = QStringLiteral("Thornwake Level & Stat Editor (v0.22b)");

inline std::size_t RecordAt(const QString& who, int level) {
    return (who == "Hero" ? HeroBase : who == "Girl" ? GirlBase : SpriteBase) + 8 * level;
}

inline Bytes PatternImage(std::size_t size = ImageSize, int seed = 0) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = std::uint8_t((i * 131 + (i >> 8) * 7 + seed * 17) % 251);
    return image;
}

inline Bytes ReadFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const QString& path, const Bytes& bytes) {
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The field texts a level of `image` must show; the Hero's MP is "-".
inline QStringList RecordTexts(const Bytes& image, const QString& who, int level) {
    const std::size_t at = RecordAt(who, level);
    QStringList texts{QString::number(std::int16_t(image[at] | image[at + 1] << 8))};
    for (int i = 2; i < 8; ++i) texts << QString::number(image[at + i]);
    if (who == "Hero") texts[1] = "-";
    return texts;
}

struct Editor {
    QTemporaryDir folder;
    FakeDesktop desktop;
    Main window{desktop};

    Editor() {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) qWarning("the main window did not become active");
    }

    template <typename T = QWidget>
    T* find(const QString& name) const { return window.findChild<T*>(name); }
    QAction* item(const QString& name) const { return find<QAction>(name); }
    QLineEdit* field(const QString& who, const QString& stem) const { return find<QLineEdit>(who + stem + "TXT"); }
    QListWidget* list(const QString& who) const { return find<QListWidget>(who + "LevelLST"); }
    QWidget* save(const QString& who) const { return find(who + "SaveCMD"); }
    QTabWidget* tabs() const { return find<QTabWidget>("SelectLevelsTAB"); }

    QStringList texts(const QString& who) const {
        QStringList result;
        for (const QString& stem : Stems) result << (field(who, stem) ? field(who, stem)->text() : "-");
        return result;
    }
    // The characters whose panel is shown, and whose Save button is enabled.
    QStringList shownPanels() const {
        QStringList shown;
        for (const QString& who : Characters) if (find(who + "FRM")->isVisible()) shown << who;
        return shown;
    }
    QStringList enabledSaves() const {
        QStringList enabled;
        for (const QString& who : Characters) if (save(who)->isEnabled()) enabled << who;
        return enabled;
    }

    QString makeImage(const QString& name, const Bytes& bytes) const {
        WriteFile(folder.filePath(name), bytes);
        return folder.filePath(name);
    }
    void open(const QString& path) {
        desktop.fileAnswers << path;
        item("mnuOpen")->trigger();
    }
    QString openImage(const Bytes& bytes, const QString& name = "a.smc") {
        const QString path = makeImage(name, bytes);
        open(path);
        return path;
    }
    void clickTab(int index) {
        QTabBar* bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    void clickSave(const QString& who) { QTest::mouseClick(save(who), Qt::LeftButton); }
};

// When a widget is shown and hidden, in milliseconds since recording began.
struct VisibilityLog : QObject {
    QList<bool> shown;
    QList<qint64> at;
    QElapsedTimer clock;
    explicit VisibilityLog(QWidget* widget) : QObject(widget) {
        widget->installEventFilter(this);
        clock.start();
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
            shown << (event->type() == QEvent::ShowToParent);
            at << clock.elapsed();
        }
        return false;
    }
};

// A box with only an OK button.
inline Message Box(QMessageBox::Icon icon, const QString& title, const QString& text) {
    return {icon, title, text, QMessageBox::Ok, QMessageBox::Ok};
}
inline bool operator==(const Message& a, const Message& b) {
    return a.icon == b.icon && a.title == b.title && a.text == b.text && a.buttons == b.buttons &&
           a.defaultButton == b.defaultButton;
}
inline char* toString(const Message& m) {
    return QTest::toString(QString("icon %1, \"%2\", \"%3\", buttons %4, default %5")
                               .arg(m.icon).arg(m.title, m.text).arg(m.buttons.toInt()).arg(m.defaultButton));
}

}  // namespace thornwake::test
