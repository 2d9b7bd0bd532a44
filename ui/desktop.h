#pragma once
// Everything that would block a test or end its process goes through this
// seam: modal dialogs, message boxes, the browser request and ending the
// program. The editor gets a SystemDesktop; tests hand Main a fake.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

class QDialog;
class QWidget;

namespace thornwake {

struct OpenFileRequest {
    QStringList filters;     // the entries of the filter list, in order
    int selectedFilter = 0;  // index into filters
    QString fileName;        // what the file-name box shows at first
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Modal open-file dialog. Returns the chosen path, or an empty string on cancel.
    virtual QString chooseFileToOpen(QWidget* parent, const OpenFileRequest& request) = 0;

    // Modal message box; returns the button pressed.
    virtual QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                    const QString& text, QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton) = 0;

    // Shows `dialog` modally and returns when it is closed.
    virtual void runModal(QDialog& dialog) = 0;

    // Asks the desktop to open `url` in the user's browser; the result is not examined.
    virtual void openUrl(const QUrl& url) = 0;

    // Ends the program at once. The real one does not return; a test's fake
    // does, so callers return right after calling it.
    virtual void endProgram(int exitCode) = 0;
};

// The real thing: Qt's dialogs and message boxes, QDesktopServices, _exit.
class SystemDesktop : public Desktop {
public:
    QString chooseFileToOpen(QWidget* parent, const OpenFileRequest& request) override;
    QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                            const QString& text, QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) override;
    void runModal(QDialog& dialog) override;
    void openUrl(const QUrl& url) override;
    void endProgram(int exitCode) override;
};

}  // namespace thornwake
