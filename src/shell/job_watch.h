// Follows a cleaning job on its working page for a runner without a window: when a volume
// starts, each step it enters and each result row, with the figures a report gives about each
// volume (times, bytes written, free space before and after).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/working_page.h"
#include "engine/working_page_form.h"
#include "shell/json_report.h"
#include "shell/metered_volume_access.h"
#include "ui/observer.h"

namespace nd {

struct JobEvents {
  // A status the job shows before any volume starts, such as emptying the wastebaskets.
  std::function<void(const std::string& text)> status_shown;
  std::function<void(const VolumeInfo& volume)> volume_started;
  // `step` 0-3; `title` as the page shows it.
  std::function<void(const std::string& letter, int step, const std::string& title)> step_entered;
  std::function<void(const VolumeResult& result)> volume_ended;
};

struct JobWatchSetup {
  engine::WorkingPageForm& page;
  const engine::JobState& state;
  ui::Host& host;
  MeteredVolumeAccess& volumes;
  std::vector<VolumeInfo> known;  // the volumes as they were when the job was set up
  int clean_way = 1;
  int ntfs_mode = 1;
  int method = 2;
};

// Observes `setup.page` while it exists; the page must outlive it.
class JobWatch final : public ui::ModelObserver {
 public:
  JobWatch(JobWatchSetup setup, JobEvents events);
  ~JobWatch() override;
  JobWatch(const JobWatch&) = delete;
  JobWatch& operator=(const JobWatch&) = delete;

  // Hands on a result row that is complete by now. The job completes each row before it next
  // lets the window update or sleeps, so the host calls this there, and once at the end.
  void Poll();

  const std::vector<VolumeResult>& Results() const { return results_; }

  void ControlChanged(ui::Control& control, ui::Property property) override;

 private:
  void VolumeStarted(const std::string& letter);
  void RowAdded(int row);

  JobWatchSetup setup_;
  JobEvents events_;
  std::optional<VolumeResult> running_;
  int64_t started_ms_ = 0;
  int last_step_ = -1;
  std::optional<int> pending_row_;
  std::vector<VolumeResult> results_;
};

// The lines a log of the job shows: a volume starting, a step entered, a volume's result.
// Mount points and labels are escaped as in --list, so that each stays on its line.
std::string VolumeStartLine(const VolumeInfo& volume);
std::string StepLine(const std::string& letter, int step, const std::string& title);
std::string ResultLine(const VolumeResult& result);

}  // namespace nd
