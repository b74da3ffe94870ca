// A Host for tests: a fake clock that only moves when told, message boxes answered from a
// script, window timers run on that clock, and actions planned for the n-th DoEvents call.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/host.h"
#include "ui/timer.h"

namespace nd::ui {

struct MsgBoxRecord {
  MsgBoxIcon icon;
  std::string text;
  MsgBoxButtons buttons;
  std::string title;
  MsgBoxResult answer;
};

struct CloseRecord {
  std::string form;
  bool closed;  // false when the window refused
};

// Time stands still unless AdvanceTime, Sleep or a DoEvents step moves it, and the wall clock
// and the monotonic counter always move together. Timers tick only inside AdvanceTime (the idle
// message loop) and DoEvents: an enabled timer with interval I ticks I, 2I, 3I, ... ms after it
// was attached, enabled or given a new interval; ticks missed while the program was busy come as
// one late tick, after which the rhythm goes on, and late ticks run in the order they fell due; a
// timer whose handler is running is not ticked again until it returns; timers of closed windows,
// and everything after EndProcess, stay silent.
class ScriptedHost final : public Host, private TimerScheduler {
 public:
  ScriptedHost();
  ~ScriptedHost() override;
  ScriptedHost(const ScriptedHost&) = delete;
  ScriptedHost& operator=(const ScriptedHost&) = delete;

  // Host. MsgBox takes the next scripted answer, or the default button's when none is left.
  MsgBoxResult MsgBox(MsgBoxIcon icon, std::string_view text, MsgBoxButtons buttons,
                      std::string_view title) override;
  // Counts the call, runs the actions planned for it, then the timers due by now.
  void DoEvents() override;
  void Sleep(int ms) override;
  std::chrono::system_clock::time_point Now() override;
  int64_t MonotonicMs() override { return now_ms_; }
  bool CloseWindow(Form& form) override;
  void EndProcess(int code) override;

  // Takes over the timers of `form`, enabled ones starting their schedule now.
  void Attach(Form& form);

  // The wall clock's reading from now on; the monotonic counter (0 at the start) is unchanged.
  void SetNow(std::chrono::system_clock::time_point now);
  // The idle message loop for `ms` milliseconds: every tick that falls due runs, in time order,
  // with the clock standing at its due time (ties go to the timer attached or loaded first).
  void AdvanceTime(int64_t ms);
  // How far the clock moves at each DoEvents before timers run; 0 by default. Lets code that
  // waits on the clock in a DoEvents loop come to an end.
  void SetDoEventsStep(int ms) { do_events_step_ms_ = ms; }

  // Runs `action` inside the n-th DoEvents call (counted from 1), before that call's timers;
  // several actions for one call run in the order they were planned.
  void AtDoEvents(int n, std::function<void()> action);
  int DoEventsCount() const { return do_events_count_; }

  void QueueAnswer(MsgBoxResult answer) { answers_.push_back(answer); }
  size_t PendingAnswers() const { return answers_.size(); }
  const std::vector<MsgBoxRecord>& MsgBoxes() const { return msg_boxes_; }

  const std::vector<CloseRecord>& Closes() const { return closes_; }
  bool Ended() const { return exit_code_.has_value(); }
  // The code of the first EndProcess call.
  std::optional<int> ExitCode() const { return exit_code_; }

 private:
  struct Schedule {
    uint64_t order;              // attach or load order, to break ties
    std::optional<int64_t> due;  // next tick on the monotonic clock; none while not running
    bool in_handler = false;
  };

  void TimerChanged(Timer& timer) override;
  void TimerRemoved(Timer& timer) override;
  void FormDestroyed(Form& form) override;

  // The timer with the earliest tick due at or before `limit` that may run now.
  Timer* NextDue(int64_t limit) const;
  void RunDueTimers(int64_t limit);
  void Fire(Timer& timer);

  int64_t now_ms_ = 0;
  std::chrono::system_clock::time_point wall_at_zero_;
  int do_events_step_ms_ = 0;
  int do_events_count_ = 0;
  std::map<int, std::vector<std::function<void()>>> actions_;
  std::deque<MsgBoxResult> answers_;
  std::vector<MsgBoxRecord> msg_boxes_;
  std::vector<CloseRecord> closes_;
  std::optional<int> exit_code_;
  std::vector<Form*> forms_;
  std::map<Timer*, Schedule> schedules_;
  uint64_t next_order_ = 0;
};

}  // namespace nd::ui
