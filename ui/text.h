#pragma once
// The ROM logic's messages, UTF-8 in std::string, as the windows show them.

#include <QString>

#include <string>

namespace thornwake {

inline QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace thornwake
