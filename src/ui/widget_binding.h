// What every toolkit binding of a window does alike: it hears the model's changes and turns each
// into the one aspect of a widget to bring up to date, follows the window's title, visibility
// and closing, and keeps the window's timers scheduled while the window is open. The binding
// supplies the widgets, the frame and the toolkit's timers.
#pragma once

#include <string>

#include "ui/observer.h"
#include "ui/timer.h"

namespace nd::ui {

class WidgetBinding : public ModelObserver, public TimerScheduler {
 public:
  // What of a control's widget a model change touches.
  enum class Aspect {
    kCaption,
    kToolTip,
    kState,
    kGeometry,
    kValue,
    kPicture,
    kColumns,
    kRows,
    kFont
  };

  explicit WidgetBinding(Form& form) : form_(&form) {}
  ~WidgetBinding() override;
  WidgetBinding(const WidgetBinding&) = delete;
  WidgetBinding& operator=(const WidgetBinding&) = delete;

  // nullptr once the form has been destroyed.
  Form* Model() const { return form_; }
  // Stops the timers and drops the frame without asking the form: the program is ending.
  void Shutdown();

  void ControlChanged(Control& control, Property property) override;
  void ControlLoaded(Control& control) override;
  void FormChanged(Form& form, Property property) override;
  void TimerChanged(Timer& timer) override;
  void TimerRemoved(Timer& timer) override;
  void FormDestroyed(Form& form) override;

 protected:
  // Takes the form's changes and timers from here on; the end of the binding's constructor.
  void Attach();
  // Gives them back and stops the timers; the start of the binding's destructor.
  void Detach();
  bool ShutDown() const { return shut_down_; }

  virtual bool HasFrame() const = 0;
  // Makes the frame on first showing (while the form is open and the program not ending).
  virtual void ShowFrame(bool show) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // The frame goes, once no model code is running.
  virtual void DropFrame() = 0;
  // False for controls without a widget of their own (panels, timers) and before the frame.
  virtual bool HasWidget(Control& control) const = 0;
  virtual void CreateWidget(Control& control) = 0;
  virtual void Apply(Control& control, Aspect aspect) = 0;
  // Geometry, visibility and enabled state of every widget, after a panel changed.
  virtual void RefreshAll() = 0;
  virtual void RestartTimer(Timer& timer) = 0;
  virtual void StopTimer(Timer& timer) = 0;
  virtual void StopAllTimers() = 0;

 private:
  Form* form_;
  bool shut_down_ = false;
};

}  // namespace nd::ui
