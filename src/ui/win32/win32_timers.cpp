#include "ui/win32/win32_timers.h"

#include <windows.h>

#include <set>

#include "ui/handler_scope.h"
#include "ui/timer.h"

namespace nd::ui::win32 {
namespace {

// The system timers of every runner, by their id: the system only hands the id back, and a tick
// already queued for a timer that was stopped meanwhile must find nothing here.
std::map<UINT_PTR, Timer*>& Running() {
  static std::map<UINT_PTR, Timer*> running;
  return running;
}

// The model timers whose handler is on the stack. A handler that calls DoEvents lets the loop
// run; the same model timer must not tick inside it, not even through the fresh system timer
// that a handler restarting its timer creates.
std::set<Timer*>& Busy() {
  static std::set<Timer*> busy;
  return busy;
}

void CALLBACK Tick(HWND /*window*/, UINT /*message*/, UINT_PTR id, DWORD /*time*/) {
  auto it = Running().find(id);
  if (it == Running().end()) return;
  Timer* timer = it->second;
  if (Busy().contains(timer)) return;
  Busy().insert(timer);
  {
    HandlerScope scope;
    timer->Tick();
  }
  Busy().erase(timer);
}

}  // namespace

TimerRunner::~TimerRunner() { StopAll(); }

void TimerRunner::Restart(Timer& timer) {
  Stop(timer);
  if (!timer.IsRunning()) return;
  const UINT_PTR id = ::SetTimer(nullptr, 0, static_cast<UINT>(timer.Interval()), &Tick);
  if (id == 0) return;
  ids_[&timer] = id;
  Running()[id] = &timer;
}

void TimerRunner::Stop(Timer& timer) {
  auto it = ids_.find(&timer);
  if (it == ids_.end()) return;
  ::KillTimer(nullptr, static_cast<UINT_PTR>(it->second));
  Running().erase(static_cast<UINT_PTR>(it->second));
  ids_.erase(it);
}

void TimerRunner::StopAll() {
  while (!ids_.empty()) Stop(*ids_.begin()->first);
}

}  // namespace nd::ui::win32
