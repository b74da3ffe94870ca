// A window of the model: its title and visibility, the controls registered with it, its closing
// sequence, and the one observer and timer scheduler that serve all of its controls.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/observer.h"

namespace nd::ui {

class Control;
class Timer;
class TimerScheduler;

enum class CloseReason {
  kUserClose,      // the window's close box
  kFromCode,       // the program closes it
  kSessionEnding,  // the user logs off or the machine shuts down
};

// Concrete windows derive from Form and declare their controls as members, each constructed
// with the form, so that they register themselves in declaration order:
//
//   struct MainWindow : Form {
//     MainWindow() : Form("MainWindow") { Command1.OnClick = [this] { Command1_Click(); }; }
//     CommandButton Command1{*this, "Command1"};
//     ControlArray<CheckBox> DiskSelect{*this, "DiskSelect"};
//     Timer worknow{*this, "worknow"};
//     void Command1_Click();
//   };
class Form {
 public:
  explicit Form(std::string name);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  // A window starts hidden.
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Shows the window, opening it again if it was closed.
  void Show();
  void Hide() { SetVisible(false); }
  bool IsClosed() const { return closed_; }

  // Every registered control, loaded array elements included, in registration order.
  const std::vector<Control*>& Controls() const { return controls_; }
  std::vector<Timer*> Timers() const;
  // The control with this name and array index (-1 for one outside an array), or nullptr.
  Control* Find(std::string_view name, int index = -1) const;

  // Returns true to keep the window open.
  std::function<bool(CloseReason)> OnQueryUnload;
  std::function<void()> OnUnload;
  // Asks OnQueryUnload and, unless it refuses, runs OnUnload, hides the window and marks it
  // closed. True when the window is closed afterwards. A Close requested while one is already
  // under way returns false and leaves the outer one to finish.
  bool Close(CloseReason reason);

  // Neither is owned; each must outlive the form or be replaced by nullptr first.
  void SetObserver(ModelObserver* observer) { observer_ = observer; }
  ModelObserver* Observer() const { return observer_; }
  void SetScheduler(TimerScheduler* scheduler) { scheduler_ = scheduler; }
  TimerScheduler* Scheduler() const { return scheduler_; }

 private:
  friend class Control;
  void Register(Control& control);
  void Unregister(Control& control);
  void NotifyForm(Property property);

  std::string name_;
  std::string caption_;
  bool visible_ = false;
  bool closed_ = false;
  bool closing_ = false;
  std::vector<Control*> controls_;
  ModelObserver* observer_ = nullptr;
  TimerScheduler* scheduler_ = nullptr;
};

}  // namespace nd::ui
