// The working page while a sub-step runs: the progress throttle, the pause wait, the status
// pictures, the Stop button, and the points at which the window may handle its messages.
#pragma once

#include <cstdint>

#include "engine/working_page.h"

namespace nd::engine {

// True about once per clock second with tolerance 0, every other second with tolerance 1.
bool ClockTick(JobEnvironment& job, int tolerance);

// Lets the window handle the messages waiting now; Pause and Stop take effect only here.
void LetUpdate(JobEnvironment& job);

// Shows `picture` in slot `step` of the four sub-step pictures, then lets the window update.
void SetStepIcon(JobEnvironment& job, int step, const ui::Picture& picture);

// Holds the sub-step `step` while Pause is ticked and no stop is requested, counting the time.
// The longest a sub-step runs without letting the window update.
inline constexpr int64_t kMostMsWithoutUpdate = 100;
void WaitWhilePaused(JobEnvironment& job, SubStep step);

// About once per clock second (ClockTick with `tolerance`): moves the bar to `value` when that
// does not pass its maximum, and lets the window update.
void TickProgress(JobEnvironment& job, int tolerance, double value);

// The bar's scale; a value is only set when it does not exceed the maximum.
void SetProgress(ui::ProgressBar& bar, double max, double value);
void SetProgressValue(ui::ProgressBar& bar, double value);

}  // namespace nd::engine
