// The desktop window of a form: renders an nd::ui::Form in a wxFrame and keeps the two in step,
// model to widgets through the observer, user input back to the model, timers on wxTimers.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "ui/window_options.h"

class wxFrame;
class wxString;

namespace nd::ui {
class Form;
}

namespace nd::ui::wx {

// A text of the model (UTF-8) as the toolkit takes it, whatever the locale. Broken bytes (a
// volume label can hold any) become U+FFFD, or the whole text would vanish.
wxString ToolkitText(std::string_view utf8);

using PictureResolver = nd::ui::PictureResolver;
using OverflowReport = nd::ui::OverflowReport;
using WindowOptions = nd::ui::WindowOptions;

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
