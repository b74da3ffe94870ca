// From the model's twips to a screen's pixels: 15 twips make a pixel at 96 DPI, and a screen
// with more dots per inch gets proportionally more pixels, so that the layout keeps its
// proportions against the system's larger fonts.
#pragma once

#include <vector>

#include "ui/list_view.h"

namespace nd::ui {

inline constexpr int kStandardDpi = 96;

// Rounded to the nearest pixel; a dpi of 0 or less counts as the standard 96.
int PixelsFromTwips(int twips, int dpi);

// The pixel widths of a report list's columns. The model gives widths as shares of the whole
// control, border included; where they add up to more than `room_px` (the list's inner width)
// the last columns give up the difference, so that no horizontal scroll bar appears for the
// few pixels of the border or a vertical scroll bar.
std::vector<int> ColumnPixelWidths(const std::vector<ListColumn>& columns, int room_px, int dpi);

}  // namespace nd::ui
