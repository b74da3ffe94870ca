// The desktop window of a form: renders an nd::ui::Form in a wxFrame and keeps the two in step,
// model to widgets through the observer, user input back to the model, timers on wxTimers.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class wxFrame;
class wxString;

namespace nd::ui {
class Form;
}

namespace nd::ui::wx {

// A text of the model (UTF-8) as the toolkit takes it, whatever the locale. Broken bytes (a
// volume label can hold any) become U+FFFD, or the whole text would vanish.
wxString ToolkitText(std::string_view utf8);

// A picture name of the model (such as "IconOK" or "DiskHDD") -> image file; "" = no picture.
using PictureResolver = std::function<std::string(const std::string& picture_name)>;
// Told about a caption that needs more room than its control has: the control's name (with
// "(index)" for an array element) and the caption.
using OverflowReport = std::function<void(const std::string& control, const std::string& caption)>;

struct WindowOptions {
  // 15 twips are one pixel.
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
};

// The frame exists while the form is open and has been shown at least once; the form's
// visibility shows and hides it, and closing the form destroys it. Create FormWindows only after
// the wxApp exists, and keep each alive at least as long as its frame should work.
class FormWindow {
 public:
  FormWindow(Form& form, WindowOptions options);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // False when background_file is set but could not be read as an image.
  bool BackgroundLoaded() const;
  // nullptr while there is no frame.
  wxFrame* Frame() const;
  // nullptr once the form has been destroyed.
  Form* Model() const;

  // Stops the timers and destroys the frame without asking the form: the program is ending.
  void Shutdown();
  // Every FormWindow alive, oldest first.
  static std::vector<FormWindow*> All();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace nd::ui::wx
