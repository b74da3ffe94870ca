#include "shell/job_watch.h"

#include "shell/volume_listing.h"

namespace nd {

JobWatch::JobWatch(JobWatchSetup setup, JobEvents events)
    : setup_(std::move(setup)), events_(std::move(events)) {
  setup_.page.SetObserver(this);
}

JobWatch::~JobWatch() { setup_.page.SetObserver(nullptr); }

void JobWatch::ControlChanged(ui::Control& control, ui::Property property) {
  engine::WorkingPageForm& page = setup_.page;
  if (&control == &page.Label13 && property == ui::Property::kCaption) {
    if (!control.Caption().empty()) VolumeStarted(control.Caption());
  } else if (&control == &page.status && property == ui::Property::kCaption) {
    if (!running_ && events_.status_shown && !control.Caption().empty()) {
      events_.status_shown(control.Caption());
    }
  } else if (property == ui::Property::kPicture && control.Name() == page.StepImage.Name()) {
    // Pause and resume show the running step's picture again; it is still the same step.
    int step = control.Index();
    auto& picture = static_cast<ui::Picture&>(control);
    if (running_ && picture.PictureName() == page.IconCURR.PictureName() && step != last_step_) {
      last_step_ = step;
      if (events_.step_entered) events_.step_entered(running_->letter, step, page.status.Caption());
    }
  } else if (property == ui::Property::kCaption && control.Name() == page.ReportDisk.Name()) {
    // A row's letter is set once its picture shows the result and before its text; letters
    // are unique in a job, so every row changes the caption it was copied with.
    RowAdded(control.Index());
  }
}

void JobWatch::VolumeStarted(const std::string& letter) {
  Poll();
  VolumeResult result;
  result.letter = letter;
  for (const VolumeInfo& volume : setup_.known) {
    if (volume.DriveLetter != letter) continue;
    result.mount_point = volume.RootPath;
    result.file_system = volume.FileSystem;
    result.label = volume.VolumeName;
    if (events_.volume_started) events_.volume_started(volume);
  }
  result.clean_way = setup_.clean_way;
  result.ntfs_mode = setup_.ntfs_mode;
  result.method = setup_.method;
  result.start = setup_.host.Now();
  result.free_before = setup_.volumes.FreeSpace(letter);
  started_ms_ = setup_.host.MonotonicMs();
  setup_.volumes.StartMeter();
  running_ = std::move(result);
  last_step_ = -1;
}

void JobWatch::RowAdded(int row) {
  if (!running_) return;
  running_->result_code = engine::Number(setup_.state.WorkStatus);
  running_->end = setup_.host.Now();
  running_->seconds = static_cast<double>(setup_.host.MonotonicMs() - started_ms_) / 1000.0;
  pending_row_ = row;
}

void JobWatch::Poll() {
  if (!pending_row_ || !running_) return;
  int row = *pending_row_;
  pending_row_.reset();
  VolumeResult result = std::move(*running_);
  running_.reset();
  if (setup_.page.ReportInfo.Contains(row)) {
    result.result_text = setup_.page.ReportInfo[row].Caption();
  }
  result.bytes_written = setup_.volumes.Metered();
  result.free_after = setup_.volumes.FreeSpace(result.letter);
  results_.push_back(result);
  if (events_.volume_ended) events_.volume_ended(results_.back());
}

std::string VolumeStartLine(const VolumeInfo& volume) {
  std::string line = volume.DriveLetter + ": " + EscapedField(volume.RootPath, false) + " (" +
                     EscapedField(volume.FileSystem, false);
  if (!volume.VolumeName.empty()) line += ", label " + EscapedField(volume.VolumeName, true);
  return line + ")";
}

std::string StepLine(const std::string& letter, int step, const std::string& title) {
  return letter + ": step " + std::to_string(step + 1) + " of 4: " + title;
}

std::string ResultLine(const VolumeResult& result) {
  return result.letter + ": " + result.result_text;
}

}  // namespace nd
