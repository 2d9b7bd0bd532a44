#pragma once
// The writer's lock as the windows take it: while another program holds it,
// the user sees a busy cursor and is told what the window waits for, instead
// of a window that seems to hang.

#include <QString>

#include <chrono>
#include <functional>

#include "rom_file.h"

namespace thornwake {

// What the window says while it waits.
QString WaitingForAnotherWriter();

// Acquires `lock`, waiting up to `patience`. When the wait begins, `say` gets
// WaitingForAnotherWriter() and the busy cursor shows; when it ends, `say`
// gets an empty text and the cursor is restored.
Status AcquireShowingWait(WriterLock& lock, std::chrono::milliseconds patience,
                          const std::function<void(const QString&)>& say);

}  // namespace thornwake
