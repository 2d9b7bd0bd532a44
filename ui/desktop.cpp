#include "desktop.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>

#include <cstdio>
#include <cstdlib>

#include "main/rom_file_dialog.h"

namespace thornwake {

QString SystemDesktop::chooseFileToOpen(QWidget* parent, const OpenFileRequest& request) {
    QFileDialog dialog(parent);
    PrepareOpenFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

QMessageBox::StandardButton SystemDesktop::showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                       const QString& text, QMessageBox::StandardButtons buttons,
                                                       QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void SystemDesktop::runModal(QDialog& dialog) { dialog.exec(); }

void SystemDesktop::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void SystemDesktop::endProgram(int exitCode) {
    // Every write has already reached the operating system; nothing else of
    // the program may run, not even the rest of a command that called this.
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace thornwake
