#pragma once

#include <QFont>

namespace thornwake {

// Tahoma at `pointSize`. Where Linux does not know Tahoma, the metrically
// compatible Wine copy is loaded; without that, a plain sans of the system
// that still fits every caption.
QFont ProgramFont(double pointSize, bool bold = false);

}  // namespace thornwake
