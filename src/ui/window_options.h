// How a toolkit binding dresses one window of the model: its client size, the background
// picture, where pictures come from, which labels are headings or links, the caption-fit report
// and the suspend question. Every binding takes the same options, so the mains share them.
#pragma once

#include <functional>
#include <set>
#include <string>

namespace nd::ui {

// A picture name of the model (such as "IconOK" or "DiskHDD") -> image file; "" = no picture.
using PictureResolver = std::function<std::string(const std::string& picture_name)>;
// Told about a caption that needs more room than its control has: the control's name (with
// "(index)" for an array element) and the caption.
using OverflowReport = std::function<void(const std::string& control, const std::string& caption)>;

struct WindowOptions {
  // 15 twips are one pixel at 96 DPI.
  int client_width_twips = 10800;
  int client_height_twips = 8100;
  // An image scaled to fill the client area behind every control; "" = the plain window colour.
  std::string background_file;
  PictureResolver pictures;
  // Label controls by name; an array element matches by its array's name or by "Name(index)".
  std::set<std::string> heading_labels;  // larger and bold
  std::set<std::string> link_labels;     // underlined, in the link colour, with a hand cursor
  // Checks every caption shown against the room of its control, hidden pages included.
  OverflowReport overflow;
  // Asked when the system wants to suspend: true refuses it. Unset: suspend is never refused
  // by the window (where the system asks the window at all).
  std::function<bool()> refuse_suspend;
};

}  // namespace nd::ui
