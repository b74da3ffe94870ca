// Window layouts are drawn on a 96-DPI pixel grid; controls keep their places in twips.
#pragma once

#include "ui/control.h"

namespace nd::ui {

inline constexpr int kTwipsPerPixel = 15;

// Puts `control` into `panel` (nullptr: the window itself) at pixel position and size.
inline void Place(Control& control, Panel* panel, int x, int y, int w, int h) {
  control.SetParent(panel);
  control.Move(x * kTwipsPerPixel, y * kTwipsPerPixel, w * kTwipsPerPixel, h * kTwipsPerPixel);
}

}  // namespace nd::ui
