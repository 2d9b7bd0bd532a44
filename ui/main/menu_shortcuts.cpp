#include "main/menu_shortcuts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace thornwake {

MenuShortcuts::MenuShortcuts(QWidget* window) : QObject(window), window_(window) {
    // The application sees a control's shortcut override before the control does.
    qApp->installEventFilter(this);
}

bool MenuShortcuts::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride) return false;
    auto* control = qobject_cast<QWidget*>(watched);
    if (!control || control->window() != window_) return false;
    const QKeySequence typed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (const QAction* item : window_->findChildren<QAction*>()) {
        if (item->isEnabled() && item->shortcuts().contains(typed)) {
            // Not for the control: the key goes on to the item's shortcut.
            event->ignore();
            return true;
        }
    }
    return false;
}

}  // namespace thornwake
