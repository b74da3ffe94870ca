// The part of a window's toolkit binding that knows no toolkit: which widget aspect a model change
// refreshes, when the frame is made and dropped, and when the window's timers tick.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ui/form_model.h"
#include "ui/widget_binding.h"

namespace nd::ui {
namespace {

struct TestWindow : Form {
  TestWindow() : Form("TestWindow") {}
  Panel Page1{*this, "Page1"};
  Label Label1{*this, "Label1"};
  Timer worknow{*this, "worknow"};
};

// Records what the binding is asked to do, in order, as "what name".
class RecordingBinding final : public WidgetBinding {
 public:
  explicit RecordingBinding(Form& form) : WidgetBinding(form) { Attach(); }
  ~RecordingBinding() override { Detach(); }

  std::vector<std::string> calls;
  std::set<std::string> running_timers;

 protected:
  bool HasFrame() const override { return frame_; }
  void ShowFrame(bool show) override {
    if (show && !frame_ && !ShutDown()) {
      frame_ = true;
      calls.push_back("frame");
    }
    calls.push_back(show ? "show" : "hide");
  }
  void SetTitle(const std::string& title) override { calls.push_back("title " + title); }
  void DropFrame() override {
    if (frame_) calls.push_back("drop");
    frame_ = false;
    widgets_.clear();
  }
  bool HasWidget(Control& control) const override { return widgets_.contains(control.Name()); }
  void CreateWidget(Control& control) override {
    widgets_.insert(control.Name());
    calls.push_back("create " + control.Name());
  }
  void Apply(Control& control, Aspect aspect) override {
    static const char* const kNames[] = {"caption", "tooltip", "state", "geometry", "value",
                                         "picture", "columns", "rows",  "font"};
    calls.push_back(std::string(kNames[static_cast<int>(aspect)]) + " " + control.Name());
  }
  void RefreshAll() override { calls.push_back("refresh"); }
  void RestartTimer(Timer& timer) override {
    if (timer.IsRunning()) {
      running_timers.insert(timer.Name());
    } else {
      running_timers.erase(timer.Name());
    }
  }
  void StopTimer(Timer& timer) override { running_timers.erase(timer.Name()); }
  void StopAllTimers() override { running_timers.clear(); }

 private:
  bool frame_ = false;
  std::set<std::string> widgets_;
};

TEST(WidgetBinding, ChangesRefreshTheirAspectOnceTheFrameExists) {
  TestWindow window;
  RecordingBinding binding(window);
  // Nothing is built for a window not yet shown.
  window.Label1.SetCaption("before");
  EXPECT_TRUE(binding.calls.empty());

  window.Show();
  binding.calls.clear();
  // The label's widget is made on its first change after the frame.
  window.Label1.SetCaption("one");
  window.Label1.SetCaption("two");
  window.Label1.SetLeft(150);
  window.Label1.SetFontCharset(204);
  // A panel carries its controls' geometry and state with it: everything is refreshed.
  window.Page1.SetVisible(false);
  window.SetCaption("Nulldrift");
  EXPECT_EQ(binding.calls, (std::vector<std::string>{"create Label1", "caption Label1",
                                                     "geometry Label1", "state Label1",
                                                     "font Label1", "refresh", "title Nulldrift"}));
}

TEST(WidgetBinding, TimersTickOnlyWhileTheWindowIsOpenAndTheProgramRuns) {
  TestWindow window;
  window.worknow.SetInterval(50);
  RecordingBinding binding(window);
  EXPECT_EQ(binding.running_timers, std::set<std::string>{"worknow"});

  window.Show();
  ASSERT_TRUE(window.Close(CloseReason::kFromCode));
  EXPECT_TRUE(binding.running_timers.empty());
  EXPECT_EQ(binding.calls.back(), "drop");
  // Enabling a timer of a closed window schedules nothing; opening it again does.
  window.worknow.SetEnabled(false);
  window.worknow.SetEnabled(true);
  EXPECT_TRUE(binding.running_timers.empty());
  window.Show();
  EXPECT_EQ(binding.running_timers, std::set<std::string>{"worknow"});

  // After the program's end nothing ticks and no frame comes back.
  binding.Shutdown();
  window.worknow.SetInterval(100);
  EXPECT_TRUE(binding.running_timers.empty());
  binding.calls.clear();
  window.Hide();
  window.Show();
  EXPECT_EQ(binding.calls, (std::vector<std::string>{"hide", "show"}));
}

}  // namespace
}  // namespace nd::ui
