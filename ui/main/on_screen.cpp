#include "main/on_screen.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace thornwake {

namespace {

// Watches the native window for its exposure, and lives as its child.
class ExposureWatch : public QObject {
public:
    ExposureWatch(QWindow& window, std::function<void()> action) : QObject(&window), action_(std::move(action)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            // Not in the middle of drawing the window.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    action_();
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void()> action_;
};

}  // namespace

void WhenOnScreen(QWidget& window, std::function<void()> action) {
    if (window.isVisible() && window.windowHandle()->isExposed()) {
        action();
        return;
    }
    window.winId();  // makes the native window the watch needs, shown or not
    new ExposureWatch(*window.windowHandle(), std::move(action));
}

}  // namespace thornwake
