// The display elements of the working page that a cleaning job drives, the job-wide state it
// shares with the page's Pause and Stop controls, and the outside world it runs in.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/volume_access.h"
#include "localisation/context.h"
#include "system/scramble.h"
#include "ui/basic_controls.h"
#include "ui/choice_controls.h"
#include "ui/control_array.h"
#include "ui/host.h"

namespace nd::engine {

// References into the window that shows the job; the window outlives every job.
struct WorkingPage {
  ui::Label& status;
  ui::Label& Label9;   // the volume list
  ui::Label& Label10;  // explanation of the running sub-step
  ui::Label& Label13;  // drive letter being cleaned
  ui::Label& Label14;  // estimated end time
  ui::Label& Label32;  // free bytes during the fill
  ui::Label& Label44;  // a note for the running sub-step
  ui::ProgressBar& ProgressBar1;
  ui::CheckBox& Check2;         // Pause
  ui::CheckBox& Check4;         // empty the wastebasket first
  ui::CommandButton& Command4;  // Stop
  ui::ControlArray<ui::Picture>& StepImage;
  ui::Picture& IconPEND;
  ui::Picture& IconCURR;
  ui::Picture& IconPAUSE;
  ui::Picture& IconOK;
  ui::Picture& IconOKgray;
  ui::Picture& IconERROR;
  ui::ControlArray<ui::Picture>& ReportImage;
  ui::ControlArray<ui::Label>& ReportDisk;
  ui::ControlArray<ui::Label>& ReportInfo;
  // The five overwrite-method buttons, Option1 to Option5.
  ui::OptionButton* Method[5];
};

// The working page of any window that declares its controls under these names.
template <class Window>
WorkingPage WorkingPageOf(Window& w) {
  return WorkingPage{w.status,      w.Label9,
                     w.Label10,     w.Label13,
                     w.Label14,     w.Label32,
                     w.Label44,     w.ProgressBar1,
                     w.Check2,      w.Check4,
                     w.Command4,    w.StepImage,
                     w.IconPEND,    w.IconCURR,
                     w.IconPAUSE,   w.IconOK,
                     w.IconOKgray,  w.IconERROR,
                     w.ReportImage, w.ReportDisk,
                     w.ReportInfo,  {&w.Option1, &w.Option2, &w.Option3, &w.Option4, &w.Option5}};
}

// Codes of a volume's result.
inline constexpr int kStatusStopped = 0;
inline constexpr int kStatusCompleted = 1;
inline constexpr int kStatusPreparationFailed = 2;
inline constexpr int kStatusFillFailed = 3;
inline constexpr int kStatusSmallFilesFailed = 4;
inline constexpr int kStatusCopySourceFailed = 5;
inline constexpr int kStatusDeletionFailed = 6;

// Owned by the window for the life of the process; a job lasts from its start to the report.
struct JobState {
  int WorkStatus = kStatusCompleted;
  std::string WorkStatusNote;  // what the result row says instead of the code's general text
  bool StopRequested = false;
  int64_t PausedMilliseconds = 0;
  int64_t WorkFileCount = 0;
  int LastTickSecond = 0;    // 0-59, shared by every progress throttle
  int64_t LastUpdateMs = 0;  // when the window last had its turn (monotonic clock)
};

class PowerHook;

// Values a caller gives instead of the stored choices; the headless runner does, so that it
// never changes what the wizard stored.
struct JobOverrides {
  std::optional<int> clean_way;
  std::optional<int> ntfs_mode;
  std::optional<bool> prevent_standby;
};

// What a running job is given: the process-wide values, the window's page and state, the host
// and the volumes. Hooks let the window act at the end of the job; any of them may be empty.
struct JobEnvironment {
  Context& context;
  ui::Host& host;
  WorkingPage& page;
  JobState& state;
  VolumeAccess& volumes;
  RandomFraction random;
  JobOverrides overrides;
  PowerHook* power_hook = nullptr;           // null: stand-by prevention is not available
  std::function<void()> end_of_job_actions;  // sound and power-off hand-over
  std::function<void()> show_report_page;
};

}  // namespace nd::engine
