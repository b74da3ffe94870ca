#include "ui/pixel_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ui/layout.h"

namespace nd::ui {

int PixelsFromTwips(int twips, int dpi) {
  if (dpi <= 0) dpi = kStandardDpi;
  const double pixels = static_cast<double>(twips) * dpi / (kTwipsPerPixel * kStandardDpi);
  return static_cast<int>(std::lround(pixels));
}

std::vector<int> ColumnPixelWidths(const std::vector<ListColumn>& columns, int room_px, int dpi) {
  std::vector<int> widths;
  int64_t total = 0;
  for (const ListColumn& column : columns) {
    widths.push_back(std::max(0, PixelsFromTwips(column.width, dpi)));
    total += widths.back();
  }
  int64_t excess = total - std::max(0, room_px);
  for (auto it = widths.rbegin(); excess > 0 && it != widths.rend(); ++it) {
    const int give = static_cast<int>(std::min<int64_t>(*it, excess));
    *it -= give;
    excess -= give;
  }
  return widths;
}

}  // namespace nd::ui
