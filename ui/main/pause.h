#pragma once

namespace thornwake {

// Waits `seconds` on a monotonic clock, handling window events meanwhile, so
// the window stays responsive and commands can run nested inside the wait.
// Sleeps between events instead of spinning.
void Pause(double seconds);

}  // namespace thornwake
