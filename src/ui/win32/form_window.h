// The Windows window of a form: renders an nd::ui::Form in a top-level window of native
// controls and keeps the two in step, model to controls through the observer, user input and
// the system's window messages back to the model, timers on the thread's system timers.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "ui/window_options.h"

namespace nd::ui {
class Form;
}

namespace nd::ui::win32 {

// The frame exists while the form is open and has been shown at least once; the form's
// visibility shows and hides it, and closing the form destroys it, once no model code is
// running. Keep each FormWindow alive at least as long as its frame should work.
class FormWindow {
 public:
  FormWindow(Form& form, WindowOptions options);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // False when background_file is set but could not be read as an image.
  bool BackgroundLoaded() const;
  // nullptr while there is no frame.
  HWND Frame() const;
  // nullptr once the form has been destroyed.
  Form* Model() const;

  // Stops the timers and drops the frame without asking the form: the program is ending.
  void Shutdown();
  // Every FormWindow alive, oldest first.
  static std::vector<FormWindow*> All();
  // Whether any FormWindow has a frame: the program's message loop runs while one has.
  static bool AnyFrame();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// The message loop's share of the binding, called for every message taken from the queue:
// keyboard navigation between a window's controls (Tab, the arrow keys, Enter). True when the
// message was handled and must not be dispatched.
bool PreTranslate(MSG& message);
// Destroys the controls and windows that the model dropped, once no model code is running.
void CollectRetired();
// The wait cursor over every window of the program while set.
void SetBusyCursor(bool busy);

}  // namespace nd::ui::win32
