// Runs the model's window timers on wxTimers: one toolkit timer per running model timer, never
// entered again while its handler is still running.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <vector>

namespace nd::ui {
class Timer;
}

namespace nd::ui::wx {

class TimerRunner {
 public:
  TimerRunner();
  ~TimerRunner();
  TimerRunner(const TimerRunner&) = delete;
  TimerRunner& operator=(const TimerRunner&) = delete;

  // Starts the timer's rhythm afresh from now, or stops it when the model timer is not running.
  void Restart(Timer& timer);
  void Stop(Timer& timer);
  void StopAll();

 private:
  class Ticker;

  void Retire(std::unique_ptr<Ticker> ticker);
  void FreeRetired();

  std::map<Timer*, std::unique_ptr<Ticker>> tickers_;
  // The model timers whose handler is running; shared with the tickers, which may outlive us.
  std::shared_ptr<std::set<Timer*>> busy_ = std::make_shared<std::set<Timer*>>();
  // Stopped tickers whose handler may still be on the stack: the toolkit touches a timer again
  // after its notification returns, so they are freed only once that is over.
  std::vector<std::unique_ptr<Ticker>> retired_;
};

}  // namespace nd::ui::wx
