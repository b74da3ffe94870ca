#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "ui/form_model.h"
#include "ui/scripted_host.h"

namespace nd::ui {
namespace {

using std::chrono::system_clock;

struct TimerWindow : Form {
  TimerWindow() : Form("TimerWindow") {
    for (Timer* t : {&fast, &slow}) t->SetEnabled(false);
    fast.SetInterval(100);
    slow.SetInterval(250);
  }
  Timer fast{*this, "fast"};
  Timer slow{*this, "slow"};
  ControlArray<Timer> spare{*this, "spare"};
};

class ScriptedHostTest : public ::testing::Test {
 protected:
  void SetUp() override { host.Attach(w); }
  // Every tick as "name@ms".
  void Log(Timer& timer) {
    timer.OnTimer = [this, &timer] {
      ticks.push_back(timer.Name() + "@" + std::to_string(host.MonotonicMs()));
    };
  }
  ScriptedHost host;
  TimerWindow w;
  std::vector<std::string> ticks;
};

TEST_F(ScriptedHostTest, EnabledTimersTickInTimeOrderAtTheirDueTimes) {
  Log(w.fast);
  Log(w.slow);
  host.AdvanceTime(40);
  w.fast.SetEnabled(true);  // due at 140, 240, ...
  w.slow.SetEnabled(true);  // due at 290, 540
  host.AdvanceTime(510);
  EXPECT_EQ(host.MonotonicMs(), 550);
  EXPECT_EQ(ticks, (std::vector<std::string>{"fast@140", "fast@240", "slow@290", "fast@340",
                                             "fast@440", "fast@540", "slow@540"}));
}

TEST_F(ScriptedHostTest, DisablingReenablingOrANewIntervalRestartsTheSchedule) {
  Log(w.fast);
  w.fast.SetEnabled(true);
  host.AdvanceTime(150);  // tick at 100
  w.fast.SetEnabled(false);
  host.AdvanceTime(20);
  w.fast.SetEnabled(true);  // next at 270
  host.AdvanceTime(110);
  w.fast.SetInterval(100);  // the same: no restart, next at 370
  host.AdvanceTime(100);
  w.fast.SetInterval(30);  // at 380: next at 410
  host.AdvanceTime(40);
  w.fast.SetInterval(0);
  host.AdvanceTime(1000);
  EXPECT_EQ(ticks, (std::vector<std::string>{"fast@100", "fast@270", "fast@370", "fast@410"}));
}

TEST_F(ScriptedHostTest, SleepRunsNoTimerAndMissedTicksComeAsOneLateTick) {
  Log(w.slow);
  w.fast.OnTimer = [&] {
    ticks.push_back("fast@" + std::to_string(host.MonotonicMs()));
    if (host.MonotonicMs() == 100) host.Sleep(330);  // busy until 430
  };
  w.fast.SetEnabled(true);
  w.slow.SetEnabled(true);
  host.AdvanceTime(650);
  EXPECT_EQ(ticks, (std::vector<std::string>{"fast@100", "fast@430", "slow@430", "fast@500",
                                             "slow@500", "fast@600"}));
}

TEST_F(ScriptedHostTest, HandlerIsNotReenteredFromItsOwnDoEventsButOthersRun) {
  int depth = 0, max_depth = 0, slow_ticks = 0;
  w.fast.OnTimer = [&] {
    max_depth = std::max(max_depth, ++depth);
    for (int i = 0; i < 10; ++i) {
      host.Sleep(100);
      host.DoEvents();
    }
    --depth;
  };
  w.slow.OnTimer = [&] {
    ++slow_ticks;
    if (slow_ticks == 2) w.slow.SetEnabled(false);
  };
  w.fast.SetEnabled(true);
  w.slow.SetEnabled(true);
  host.AdvanceTime(100);
  EXPECT_EQ(max_depth, 1);
  EXPECT_EQ(slow_ticks, 2);
  EXPECT_EQ(host.MonotonicMs(), 1100);
  // The tick that fell due meanwhile comes once the handler has returned.
  w.fast.OnTimer = [&] { ticks.push_back("fast@" + std::to_string(host.MonotonicMs())); };
  host.AdvanceTime(0);
  EXPECT_EQ(ticks, (std::vector<std::string>{"fast@1100"}));
}

TEST_F(ScriptedHostTest, DoEventsRunsPlannedActionsThenTimersDueNow) {
  Log(w.fast);
  w.fast.SetEnabled(true);
  std::vector<std::string> order;
  host.AtDoEvents(2, [&] { order.push_back("a"); });
  host.AtDoEvents(2, [&] {
    order.push_back("b");
    host.Sleep(100);
    host.AtDoEvents(3, [&] { order.push_back("c"); });
  });
  host.DoEvents();
  EXPECT_TRUE(ticks.empty());
  host.DoEvents();
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ticks, (std::vector<std::string>{"fast@100"}));
  host.SetDoEventsStep(150);
  host.DoEvents();
  EXPECT_EQ(host.DoEventsCount(), 3);
  EXPECT_EQ(order.back(), "c");
  EXPECT_EQ(ticks.back(), "fast@250");
}

TEST_F(ScriptedHostTest, LoadedTimerElementsTickWithTheirIndexUntilUnloaded) {
  std::vector<int> from;
  w.spare.OnTimer = [&](int i) {
    from.push_back(i);
    if (i == 1) w.spare.Unload(1);
  };
  w.spare[0].SetInterval(100);  // enabled from the start
  host.AdvanceTime(50);
  w.spare.Load(1);  // ticks at 150
  host.AdvanceTime(300);
  EXPECT_EQ(from, (std::vector<int>{0, 1, 0, 0}));
}

TEST_F(ScriptedHostTest, MessageBoxesTakeScriptedAnswersThenTheDefaultButton) {
  host.QueueAnswer(MsgBoxResult::kNo);
  EXPECT_EQ(host.MsgBox(MsgBoxIcon::kQuestion, "Stop?", MsgBoxButtons::kYesNo, "Wipe"),
            MsgBoxResult::kNo);
  EXPECT_EQ(host.PendingAnswers(), 0u);
  const std::pair<MsgBoxButtons, MsgBoxResult> defaults[] = {
      {MsgBoxButtons::kOk, MsgBoxResult::kOk},
      {MsgBoxButtons::kOkCancel, MsgBoxResult::kOk},
      {MsgBoxButtons::kYesNo, MsgBoxResult::kYes},
      {MsgBoxButtons::kYesNoCancel, MsgBoxResult::kYes},
      {MsgBoxButtons::kRetryCancel, MsgBoxResult::kRetry},
      {MsgBoxButtons::kAbortRetryIgnore, MsgBoxResult::kAbort}};
  for (auto [buttons, answer] : defaults) {
    EXPECT_EQ(host.MsgBox(MsgBoxIcon::kNone, "", buttons, ""), answer);
  }
  ASSERT_EQ(host.MsgBoxes().size(), 7u);
  const MsgBoxRecord& first = host.MsgBoxes()[0];
  EXPECT_EQ(first.icon, MsgBoxIcon::kQuestion);
  EXPECT_EQ(first.text, "Stop?");
  EXPECT_EQ(first.buttons, MsgBoxButtons::kYesNo);
  EXPECT_EQ(first.title, "Wipe");
  EXPECT_EQ(first.answer, MsgBoxResult::kNo);
}

TEST_F(ScriptedHostTest, ClosedWindowsAndEndedProcessesRunNothingMore) {
  Log(w.fast);
  w.fast.SetEnabled(true);
  w.OnQueryUnload = [](CloseReason reason) { return reason == CloseReason::kFromCode; };
  EXPECT_FALSE(host.CloseWindow(w));
  w.OnQueryUnload = nullptr;
  EXPECT_TRUE(host.CloseWindow(w));
  host.AdvanceTime(500);
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(host.Closes().size(), 2u);
  EXPECT_FALSE(host.Closes()[0].closed);
  EXPECT_EQ(host.Closes()[1].form, "TimerWindow");

  w.Show();
  host.EndProcess(3);
  host.EndProcess(0);
  bool ran = false;
  host.AtDoEvents(1, [&] { ran = true; });
  host.DoEvents();
  host.AdvanceTime(500);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(host.ExitCode(), 3);
}

TEST(ScriptedHostClock, WallClockAndMonotonicCounterMoveTogether) {
  ScriptedHost host;
  const auto start =
      std::chrono::sys_days{std::chrono::year{2031} / 5 / 17} + std::chrono::hours(9);
  host.Sleep(500);
  host.SetNow(start);
  EXPECT_EQ(host.Now(), start);
  host.Sleep(1500);
  host.AdvanceTime(58'000);
  EXPECT_EQ(host.Now() - start, std::chrono::seconds(59) + std::chrono::milliseconds(500));
  EXPECT_EQ(host.MonotonicMs(), 60'000);
}

// A wipe started from a timer that keeps the window alive with DoEvents, as the program does.
struct JobWindow : Form {
  explicit JobWindow(Host& host) : Form("JobWindow"), host(host) {
    worknow.SetEnabled(false);
    worknow.SetInterval(10);
    refresh.SetInterval(1000);
    Command1.OnClick = [this] { worknow.SetEnabled(true); };
    Command2.OnClick = [this] { stop = true; };
    worknow.OnTimer = [this] { worknow_Timer(); };
    refresh.OnTimer = [this] { ++refreshes; };
  }
  void worknow_Timer() {
    ++job_runs;
    worknow.SetEnabled(false);
    for (int step = 0; step < 5000 && !stop; ++step) {
      Bar.SetValue(step + 1);
      host.Sleep(1);
      host.DoEvents();
      while (Check1.Value() == 1 && !stop) {
        host.DoEvents();
        host.Sleep(100);
        paused_ms += 100;
      }
    }
  }
  Host& host;
  CommandButton Command1{*this, "Command1"};
  CommandButton Command2{*this, "Command2"};
  CheckBox Check1{*this, "Check1"};
  ProgressBar Bar{*this, "Bar"};
  Timer worknow{*this, "worknow"};
  Timer refresh{*this, "refresh"};
  bool stop = false;
  int job_runs = 0, refreshes = 0, paused_ms = 0;
};

TEST(ScriptedHostJob, PauseAndStopClickedAtChosenDoEventsCalls) {
  ScriptedHost host;
  JobWindow w(host);
  host.Attach(w);
  w.Show();
  host.AtDoEvents(5, [&] { w.Check1.UserClick(); });
  host.AtDoEvents(7, [&] { w.Check1.UserClick(); });
  host.AtDoEvents(9, [&] { w.Command2.UserClick(); });
  w.Command1.UserClick();
  host.AdvanceTime(10);
  EXPECT_EQ(w.job_runs, 1);
  EXPECT_EQ(w.Bar.Value(), 7);  // steps 1-5, a pause over calls 6 and 7, steps 6 and 7
  EXPECT_EQ(w.paused_ms, 200);
  EXPECT_EQ(host.DoEventsCount(), 9);
}

TEST(ScriptedHostJob, LongJobRunsThousandsOfDoEventsWithTimersOnTheFakeClock) {
  ScriptedHost host;
  JobWindow w(host);
  host.Attach(w);
  host.AtDoEvents(5, [&] { w.Check1.SetValue(1); });
  host.AtDoEvents(40, [&] { w.Check1.SetValue(0); });
  w.Command1.UserClick();
  host.AdvanceTime(10);
  EXPECT_EQ(w.job_runs, 1);
  EXPECT_EQ(w.Bar.Value(), 5000);
  EXPECT_EQ(w.paused_ms, 3500);  // DoEvents 6 to 40
  EXPECT_EQ(host.DoEventsCount(), 5035);
  // 5000 ms of steps and 3500 ms of pause, all on the fake clock.
  EXPECT_EQ(host.MonotonicMs(), 10 + 5000 + 3500);
  EXPECT_EQ(w.refreshes, 8);
}

}  // namespace
}  // namespace nd::ui
