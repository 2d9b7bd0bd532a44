#pragma once
// A fake desktop that plays the user's answers from a script and records
// every dialog, box and end of the program; and a window on image files in a
// temporary folder, checked byte for byte without the program's own code.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "desktop.h"
#include "main/main_window.h"

namespace thornwake::test {

using Bytes = std::vector<std::uint8_t>;

struct Message {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

class FakeDesktop : public Desktop {
public:
    QStringList fileAnswers;  // taken in order; "" is Cancel
    QList<QMessageBox::StandardButton> messageAnswers;  // taken in order, else the default button
    QList<OpenFileRequest> fileRequests;
    QList<Message> messages;
    QList<int> endCalls;
    int unscripted = 0;  // dialogs the script had no answer for

    QString chooseFileToOpen(QWidget*, const OpenFileRequest& request) override {
        fileRequests.append(request);
        if (fileAnswers.isEmpty()) {
            ++unscripted;
            return {};
        }
        return fileAnswers.takeFirst();
    }
    QMessageBox::StandardButton showMessage(QWidget*, QMessageBox::Icon icon, const QString& title,
                                            const QString& text, QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) override {
        messages.append({icon, title, text, buttons, defaultButton});
        return messageAnswers.isEmpty() ? defaultButton : messageAnswers.takeFirst();
    }
    void runModal(QDialog&) override { ++unscripted; }
    void openUrl(const QUrl&) override {}
    void endProgram(int exitCode) override { endCalls.append(exitCode); }
};

// Table offsets as the game stores them, written out apart from rom/.
constexpr std::uint32_t HeroBase = 0x104210, GirlBase = 0x104528, SpriteBase = 0x104840;
constexpr std::size_t ImageSize = 0x110000;

inline Bytes PatternImage(std::size_t size = ImageSize, int seed = 0) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>((i * 131 + (i >> 8) * 7 + seed * 17) % 251);
    }
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

// The field texts a record at `offset` of `image` must show, in record order
// HP, MP, Strength, Agility, Constitution, Intelligence, Wisdom.
inline QStringList RecordTexts(const Bytes& image, std::size_t offset) {
    QStringList texts{QString::number(static_cast<std::int16_t>(image[offset] | image[offset + 1] << 8))};
    for (int i = 2; i < 8; ++i) texts << QString::number(image[offset + i]);
    return texts;
}

inline const QStringList Stems{"HP", "MP", "STR", "AGI", "CON", "INTL", "WIS"};

struct Editor {
    QTemporaryDir folder;
    FakeDesktop desktop;
    std::unique_ptr<Main> window;

    Editor() : window(std::make_unique<Main>(desktop)) {
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) qWarning("the main window did not become active");
    }

    template <typename T = QWidget>
    T* find(const QString& name) const {
        return window->findChild<T*>(name);
    }
    QAction* item(const QString& name) const { return find<QAction>(name); }
    QLineEdit* field(const QString& who, const QString& stem) const {
        return find<QLineEdit>(who + stem + "TXT");
    }
    QListWidget* list(const QString& who) const { return find<QListWidget>(who + "LevelLST"); }
    QTabWidget* tabs() const { return find<QTabWidget>("SelectLevelsTAB"); }

    // The field texts of a panel in record order; the Hero's MP is "-".
    QStringList texts(const QString& who) const {
        QStringList result;
        for (const QString& stem : Stems) {
            QLineEdit* f = field(who, stem);
            result << (f ? f->text() : QStringLiteral("-"));
        }
        return result;
    }

    QString makeImage(const QString& name, const Bytes& bytes) const {
        const QString path = folder.filePath(name);
        WriteFile(path, bytes);
        return path;
    }

    void open(const QString& path) {
        desktop.fileAnswers << path;
        item("mnuOpen")->trigger();
    }

    // Clicks a tab as the user does.
    void clickTab(int index) {
        QTabBar* bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
};

// Records when a widget is shown and hidden, with the milliseconds since
// recording began.
class VisibilityLog : public QObject {
public:
    explicit VisibilityLog(QWidget* widget) : QObject(widget) {
        widget->installEventFilter(this);
        clock.start();
    }
    QList<bool> shown;
    QList<qint64> at;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
            shown << (event->type() == QEvent::ShowToParent);
            at << clock.elapsed();
        }
        return false;
    }

private:
    QElapsedTimer clock;
};

}  // namespace thornwake::test
