#pragma once
// A desktop that never blocks: it plays the user's answers from a script and
// records every file dialog, message box, modal window, browser request and
// end of the program.

#include <functional>

#include "ui/desktop.h"

namespace thornwake::test {

class FakeDesktop : public Desktop {
public:
    QStringList fileAnswers;                                  // taken in order; "" or none left is Cancel
    QList<QMessageBox::StandardButton> messageAnswers;        // taken in order, else the default button
    std::function<void(QDialog&)> onModal = [](QDialog&) {};  // plays the user's part, then returns
    QList<OpenFileRequest> fileRequests;
    // Each box whole, so a test compares all of it at once:
    // "icon 2 | title | text | buttons 400 | default 400" (the enums' values, in hex).
    QStringList messages;
    QList<QUrl> openedUrls;
    QList<int> endCalls;

    QString chooseFileToOpen(QWidget*, const OpenFileRequest& request) override {
        fileRequests.append(request);
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QMessageBox::StandardButton showMessage(QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) override {
        messages.append(
            QStringLiteral("icon %1 | ").arg(icon) + title + " | " + text +
            QStringLiteral(" | buttons %1 | default %2").arg(buttons.toInt(), 0, 16).arg(defaultButton, 0, 16));
        return messageAnswers.isEmpty() ? defaultButton : messageAnswers.takeFirst();
    }
    void runModal(QDialog& dialog) override { onModal(dialog); }
    void openUrl(const QUrl& url) override { openedUrls.append(url); }
    void endProgram(int exitCode) override { endCalls.append(exitCode); }
};

}  // namespace thornwake::test
