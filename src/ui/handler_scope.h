// Marks the stretches in which the binding runs model code (clicks, closing, timer ticks): windows
// that the model dropped meanwhile are freed only when none is running, because the toolkit may
// still be inside the very event that dropped them.
#pragma once

namespace nd::ui {

class HandlerScope {
 public:
  HandlerScope() { ++depth_; }
  ~HandlerScope() { --depth_; }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

  static bool NoneRunning() { return depth_ == 0; }

 private:
  static inline int depth_ = 0;
};

}  // namespace nd::ui
