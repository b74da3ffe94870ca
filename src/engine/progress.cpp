#include "engine/progress.h"

#include <chrono>
#include <ctime>

#include "engine/standby.h"

namespace nd::engine {

bool ClockTick(JobEnvironment& job, int tolerance) {
  // Time zones shift whole minutes, so the second of the minute needs no local time.
  std::time_t now = std::chrono::system_clock::to_time_t(job.host.Now());
  int second = static_cast<int>(((now % 60) + 60) % 60);
  int last = job.state.LastTickSecond;
  if (last - tolerance <= second && second <= last + tolerance) return false;
  job.state.LastTickSecond = second;
  return true;
}

void LetUpdate(JobEnvironment& job) {
  job.host.DoEvents();
  int64_t now = job.host.MonotonicMs();
  job.state.LastUpdateMs = now;
  if (job.power_hook) job.power_hook->Poll(now);
}

void SetStepIcon(JobEnvironment& job, int step, const ui::Picture& picture) {
  job.page.StepImage[step].SetPicture(picture.PictureName());
  LetUpdate(job);
}

void WaitWhilePaused(JobEnvironment& job, SubStep step) {
  // Progress updates come only every other second in some sub-steps; between them the window
  // still gets its turn often enough to repaint and to take a Pause or Stop click at once.
  if (job.host.MonotonicMs() - job.state.LastUpdateMs >= kMostMsWithoutUpdate) LetUpdate(job);
  if (job.page.Check2.Value() == 0 || job.state.StopRequested) return;
  SetStepIcon(job, Number(step), job.page.IconPAUSE);
  while (job.page.Check2.Value() != 0 && !job.state.StopRequested) {
    job.host.Sleep(200);
    job.state.PausedMilliseconds += 200;
    LetUpdate(job);
  }
  SetStepIcon(job, Number(step), job.page.IconCURR);
}

void TickProgress(JobEnvironment& job, int tolerance, double value) {
  if (!ClockTick(job, tolerance)) return;
  ui::ProgressBar& bar = job.page.ProgressBar1;
  if (bar.Max() >= value) bar.SetValue(value);
  LetUpdate(job);
}

void SetProgress(ui::ProgressBar& bar, double max, double value) {
  bar.SetMax(max);
  SetProgressValue(bar, value);
}

void SetProgressValue(ui::ProgressBar& bar, double value) {
  if (value <= bar.Max()) bar.SetValue(value);
}

}  // namespace nd::engine
