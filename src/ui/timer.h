// The timer control: runs its Timer handler every Interval milliseconds while enabled. The
// ticking itself belongs to whoever schedules the window's timers (the real or the test host).
#pragma once

#include <functional>

#include "ui/control.h"

namespace nd::ui {

class Timer;

// Told whenever a timer's schedule starts afresh: it was enabled, disabled, given another
// interval or loaded as an array element. A newly started schedule ticks first one interval
// after the call.
class TimerScheduler {
 public:
  virtual ~TimerScheduler() = default;
  virtual void TimerChanged(Timer& timer) = 0;
  virtual void TimerRemoved(Timer& timer) = 0;
  // The window whose timers this scheduler was given is gone.
  virtual void FormDestroyed(Form& form) = 0;
};

class Timer : public Control {
 public:
  using Control::Control;
  ~Timer() override;

  int Interval() const { return interval_; }
  // 0 means the timer never ticks; negative numbers are taken as 0.
  void SetInterval(int ms);
  // Whether the scheduler should tick it at all.
  bool IsRunning() const { return Enabled() && interval_ > 0; }

  std::function<void()> OnTimer;
  // One tick: runs OnTimer unless the timer has stopped running meanwhile.
  void Tick();

  void CopyPropertiesFrom(const Timer& design);

 protected:
  void Changed(Property property) override;

 private:
  TimerScheduler* Scheduler() const;

  int interval_ = 0;
};

}  // namespace nd::ui
