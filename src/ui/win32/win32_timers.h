// Runs the model's window timers on the thread's Win32 timers (SetTimer): one system timer per
// running model timer, never entered again while its handler is still running.
#pragma once

#include <map>

namespace nd::ui {
class Timer;
}

namespace nd::ui::win32 {

class TimerRunner {
 public:
  TimerRunner() = default;
  ~TimerRunner();
  TimerRunner(const TimerRunner&) = delete;
  TimerRunner& operator=(const TimerRunner&) = delete;

  // Starts the timer's rhythm afresh from now, or stops it when the model timer is not running.
  void Restart(Timer& timer);
  void Stop(Timer& timer);
  void StopAll();

 private:
  std::map<Timer*, unsigned long long> ids_;
};

}  // namespace nd::ui::win32
