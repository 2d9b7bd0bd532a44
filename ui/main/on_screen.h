#pragma once

#include <functional>

class QWidget;

namespace thornwake {

// Runs `action` once `window` is on the screen: at once when it is already,
// otherwise from the event loop right after the window is first shown there
// (drawn, and placed by the window manager). Nothing runs if the window is
// destroyed first.
void WhenOnScreen(QWidget& window, std::function<void()> action);

}  // namespace thornwake
