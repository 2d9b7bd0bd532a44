#include "main/pause.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>

namespace thornwake {

void Pause(double seconds) {
    QElapsedTimer clock;
    clock.start();
    const qint64 total = std::llround(seconds * 1000.0);
    // Only wakes the event loop when the time is up; the loop below decides.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    for (;;) {
        const qint64 left = total - clock.elapsed();
        if (left <= 0) return;
        wakeUp.start(static_cast<int>(left));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace thornwake
