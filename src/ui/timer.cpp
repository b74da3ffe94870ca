#include "ui/timer.h"

#include <algorithm>

#include "ui/form.h"

namespace nd::ui {

Timer::~Timer() {
  if (TimerScheduler* scheduler = Scheduler()) scheduler->TimerRemoved(*this);
}

void Timer::SetInterval(int ms) { Assign(interval_, std::max(ms, 0), Property::kInterval); }

void Timer::Tick() {
  if (!IsRunning()) return;
  // A copy, because the handler may unload this very timer and with it OnTimer.
  std::function<void()> handler = OnTimer;
  if (handler) handler();
}

void Timer::CopyPropertiesFrom(const Timer& design) {
  Control::CopyPropertiesFrom(design);
  interval_ = design.interval_;
}

void Timer::Changed(Property property) {
  if (property != Property::kEnabled && property != Property::kInterval) return;
  if (TimerScheduler* scheduler = Scheduler()) scheduler->TimerChanged(*this);
}

TimerScheduler* Timer::Scheduler() const {
  return OwnerForm() ? OwnerForm()->Scheduler() : nullptr;
}

}  // namespace nd::ui
