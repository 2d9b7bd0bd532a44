#include "writer_wait.h"

#include <QApplication>
#include <QCursor>

namespace thornwake {

QString WaitingForAnotherWriter() { return QStringLiteral("Waiting for another program to finish..."); }

Status AcquireShowingWait(WriterLock& lock, std::chrono::milliseconds patience,
                          const std::function<void(const QString&)>& say) {
    bool waited = false;
    Status locked = lock.Acquire(patience, [&] {
        waited = true;
        QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        say(WaitingForAnotherWriter());
        // Painted now: nothing else of the window runs during the wait.
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    if (waited) {
        QApplication::restoreOverrideCursor();
        say(QString());
    }
    return locked;
}

}  // namespace thornwake
