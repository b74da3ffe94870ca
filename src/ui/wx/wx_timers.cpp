#include "ui/wx/wx_timers.h"

#include <wx/timer.h>

#include <algorithm>
#include <set>
#include <utility>

#include "ui/handler_scope.h"
#include "ui/timer.h"

namespace nd::ui::wx {

class TimerRunner::Ticker final : public wxTimer {
 public:
  Ticker(Timer& timer, std::shared_ptr<std::set<Timer*>> busy)
      : timer_(&timer), busy_(std::move(busy)) {}

  void Detach() {
    timer_ = nullptr;
    wxTimer::Stop();
  }
  bool InHandler() const { return in_handler_; }

  void Notify() override {
    // A handler that calls DoEvents lets the loop run; the same model timer must not tick inside
    // it, not even through the fresh ticker that a handler restarting its timer creates.
    if (!timer_ || busy_->contains(timer_)) return;
    Timer* timer = timer_;
    busy_->insert(timer);
    HandlerScope scope;
    in_handler_ = true;
    timer->Tick();
    in_handler_ = false;
    busy_->erase(timer);
  }

 private:
  Timer* timer_;
  std::shared_ptr<std::set<Timer*>> busy_;
  bool in_handler_ = false;
};

TimerRunner::TimerRunner() = default;

TimerRunner::~TimerRunner() {
  StopAll();
  FreeRetired();
  // A runner destroyed from inside one of its own handlers: leaking the few tickers still on the
  // stack is better than freeing memory that the toolkit is about to touch.
  for (std::unique_ptr<Ticker>& ticker : retired_) static_cast<void>(ticker.release());
}

void TimerRunner::Restart(Timer& timer) {
  FreeRetired();
  Stop(timer);
  if (!timer.IsRunning()) return;
  auto ticker = std::make_unique<Ticker>(timer, busy_);
  ticker->Start(timer.Interval(), wxTIMER_CONTINUOUS);
  tickers_[&timer] = std::move(ticker);
}

void TimerRunner::Stop(Timer& timer) {
  auto it = tickers_.find(&timer);
  if (it == tickers_.end()) return;
  std::unique_ptr<Ticker> ticker = std::move(it->second);
  tickers_.erase(it);
  Retire(std::move(ticker));
}

void TimerRunner::StopAll() {
  while (!tickers_.empty()) Stop(*tickers_.begin()->first);
}

void TimerRunner::Retire(std::unique_ptr<Ticker> ticker) {
  ticker->Detach();
  retired_.push_back(std::move(ticker));
}

void TimerRunner::FreeRetired() {
  std::erase_if(retired_,
                [](const std::unique_ptr<Ticker>& ticker) { return !ticker->InHandler(); });
}

}  // namespace nd::ui::wx
