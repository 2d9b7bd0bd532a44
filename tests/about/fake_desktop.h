#pragma once
// A Desktop that never blocks: it records the browser requests and hands each
// modal dialog to `onModal`, which plays the user's part and returns.

#include <QDialog>
#include <QList>
#include <QUrl>

#include <functional>

#include "ui/desktop.h"

namespace thornwake {

class FakeDesktop : public Desktop {
public:
    std::function<void(QDialog&)> onModal = [](QDialog&) {};
    QList<QUrl> openedUrls;
    int modalCount = 0;
    int messageCount = 0;
    int fileDialogCount = 0;

    QString chooseFileToOpen(QWidget*, const OpenFileRequest&) override {
        ++fileDialogCount;
        return {};
    }
    QMessageBox::StandardButton showMessage(QWidget*, QMessageBox::Icon, const QString&,
                                            const QString&, QMessageBox::StandardButtons,
                                            QMessageBox::StandardButton) override {
        ++messageCount;
        return QMessageBox::Ok;
    }
    void runModal(QDialog& dialog) override {
        ++modalCount;
        onModal(dialog);
    }
    void openUrl(const QUrl& url) override { openedUrls.append(url); }
    void endProgram(int) override {}
};

}  // namespace thornwake
