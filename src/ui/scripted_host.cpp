#include "ui/scripted_host.h"

#include <algorithm>

#include "ui/form.h"

namespace nd::ui {
namespace {

// A fixed start, so that tests reading dates or the second of the minute are repeatable.
constexpr auto kDefaultStart = std::chrono::sys_days{std::chrono::year{2024} / 1 / 1};

}  // namespace

ScriptedHost::ScriptedHost() : wall_at_zero_(kDefaultStart) {}

ScriptedHost::~ScriptedHost() {
  for (Form* form : forms_) {
    if (form->Scheduler() == this) form->SetScheduler(nullptr);
  }
}

MsgBoxResult ScriptedHost::MsgBox(MsgBoxIcon icon, std::string_view text, MsgBoxButtons buttons,
                                  std::string_view title) {
  MsgBoxResult answer = DefaultAnswer(buttons);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  msg_boxes_.push_back({icon, std::string(text), buttons, std::string(title), answer});
  return answer;
}

void ScriptedHost::DoEvents() {
  ++do_events_count_;
  if (Ended()) return;
  now_ms_ += std::max(do_events_step_ms_, 0);
  if (auto it = actions_.find(do_events_count_); it != actions_.end()) {
    // Moved out first: an action may plan further actions.
    std::vector<std::function<void()>> actions = std::move(it->second);
    actions_.erase(it);
    for (auto& action : actions) {
      if (!Ended()) action();
    }
  }
  RunDueTimers(now_ms_);
}

void ScriptedHost::Sleep(int ms) { now_ms_ += std::max(ms, 0); }

std::chrono::system_clock::time_point ScriptedHost::Now() {
  return wall_at_zero_ + std::chrono::milliseconds(now_ms_);
}

bool ScriptedHost::CloseWindow(Form& form) {
  std::string name = form.Name();
  bool closed = form.Close(CloseReason::kFromCode);
  closes_.push_back({std::move(name), closed});
  return closed;
}

void ScriptedHost::EndProcess(int code) {
  if (!exit_code_) exit_code_ = code;
}

void ScriptedHost::Attach(Form& form) {
  if (std::find(forms_.begin(), forms_.end(), &form) == forms_.end()) forms_.push_back(&form);
  form.SetScheduler(this);
  for (Timer* timer : form.Timers()) TimerChanged(*timer);
}

void ScriptedHost::SetNow(std::chrono::system_clock::time_point now) {
  wall_at_zero_ = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
      now - std::chrono::milliseconds(now_ms_));
}

void ScriptedHost::AdvanceTime(int64_t ms) {
  const int64_t target = now_ms_ + std::max<int64_t>(ms, 0);
  while (Timer* timer = NextDue(target)) {
    now_ms_ = std::max(now_ms_, *schedules_.at(timer).due);
    Fire(*timer);
  }
  now_ms_ = std::max(now_ms_, target);
}

void ScriptedHost::AtDoEvents(int n, std::function<void()> action) {
  actions_[n].push_back(std::move(action));
}

void ScriptedHost::TimerChanged(Timer& timer) {
  auto [it, added] = schedules_.try_emplace(&timer, Schedule{next_order_, std::nullopt});
  if (added) ++next_order_;
  it->second.due.reset();
  if (timer.IsRunning()) it->second.due = now_ms_ + timer.Interval();
}

void ScriptedHost::TimerRemoved(Timer& timer) { schedules_.erase(&timer); }

void ScriptedHost::FormDestroyed(Form& form) { std::erase(forms_, &form); }

Timer* ScriptedHost::NextDue(int64_t limit) const {
  if (Ended()) return nullptr;
  Timer* next = nullptr;
  const Schedule* best = nullptr;
  for (const auto& [timer, schedule] : schedules_) {
    if (!schedule.due || *schedule.due > limit || schedule.in_handler) continue;
    if (timer->OwnerForm() && timer->OwnerForm()->IsClosed()) continue;
    if (best && std::pair(*best->due, best->order) < std::pair(*schedule.due, schedule.order)) {
      continue;
    }
    next = timer;
    best = &schedule;
  }
  return next;
}

void ScriptedHost::RunDueTimers(int64_t limit) {
  while (Timer* timer = NextDue(limit)) Fire(*timer);
}

void ScriptedHost::Fire(Timer& timer) {
  Schedule& schedule = schedules_.at(&timer);
  const int64_t interval = timer.Interval();
  if (interval <= 0) {
    schedule.due.reset();
    return;
  }
  // The next tick keeps the rhythm; ticks already missed collapse into this one.
  int64_t next = *schedule.due + interval;
  if (next <= now_ms_) next += (now_ms_ - next) / interval * interval + interval;
  schedule.due = next;
  schedule.in_handler = true;
  const uint64_t order = schedule.order;
  timer.Tick();
  // The handler may have unloaded the timer; its address then names nothing, or another timer.
  auto it = schedules_.find(&timer);
  if (it != schedules_.end() && it->second.order == order) it->second.in_handler = false;
}

}  // namespace nd::ui
