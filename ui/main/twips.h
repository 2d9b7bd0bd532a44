#pragma once

#include <QRect>

namespace thornwake {

// Positions and sizes are designed in twips; 15 twips make one pixel at 96 dpi.
// Rounds to the nearest pixel, negative positions too.
constexpr int Px(int twips) { return twips >= 0 ? (twips + 7) / 15 : -((-twips + 7) / 15); }

inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

}  // namespace thornwake
