#include "engine/cleaning_job.h"

#include <chrono>
#include <cstdlib>

#include "engine/free_space_fill.h"
#include "engine/job_log.h"
#include "engine/progress.h"
#include "engine/small_file_pass.h"
#include "engine/standby.h"
#include "engine/statistics.h"
#include "engine/usable_volumes.h"
#include "engine/work_folder.h"
#include "localisation/text_lookup.h"
#include "platform/clock_text.h"
#include "system/settings_keys.h"

namespace nd::engine {
namespace {

constexpr int kRowGapTwips = 150;
constexpr int kOldRowsToRemove = 20;

std::string Text(const JobEnvironment& job, std::string_view section, std::string_view key) {
  return LookupText(job.context.language, section, key);
}

bool PreventStandBy(const JobEnvironment& job) {
  if (job.overrides.prevent_standby) return *job.overrides.prevent_standby;
  return Get(job.context.settings, settings::kPreventStandBy).empty();
}

// Second boundaries between two moments, as a calendar clock counts them.
long long SecondBoundaries(std::chrono::system_clock::time_point from,
                           std::chrono::system_clock::time_point to) {
  return std::chrono::system_clock::to_time_t(to) - std::chrono::system_clock::to_time_t(from);
}

void ShowOnAllSteps(JobEnvironment& job, const ui::Picture& picture) {
  for (int i = 0; i < 4; ++i) SetStepIcon(job, i, picture);
}

void AddResultRow(JobEnvironment& job, int row, const std::string& letter) {
  WorkingPage& page = job.page;
  if (row >= 1) {
    auto place = [row](auto& array) {
      array.Load(row);
      auto& above = array[row - 1];
      auto& element = array[row];
      element.SetWidth(array[0].Width());
      element.SetHeight(array[0].Height());
      element.SetLeft(array[0].Left());
      element.SetTop(above.Top() + above.Height() + kRowGapTwips);
    };
    place(page.ReportImage);
    place(page.ReportDisk);
    place(page.ReportInfo);
  }
  bool completed = job.state.WorkStatus == kStatusCompleted;
  ui::Picture& image = page.ReportImage[row];
  image.SetPicture((completed ? page.IconOK : page.IconERROR).PictureName());
  image.SetVisible(true);
  TraceStep(job.context.env, "ADDREPORT2");
  page.ReportDisk[row].SetCaption(letter + ":");
  page.ReportDisk[row].SetVisible(true);
  TraceStep(job.context.env, "ADDREPORT3");
  ui::Label& info = page.ReportInfo[row];
  info.SetFontCharset(static_cast<int16_t>(job.context.language.charset));
  const std::string& note = job.state.WorkStatusNote;
  info.SetCaption(!note.empty()
                      ? note
                      : Text(job, "VERSION3", "WORK-STATUS-" + NumberText(job.state.WorkStatus)));
  info.SetVisible(true);
}

struct JobParameters {
  CleanWay clean_way = CleanWay::kFileRecords;
  NtfsMode ntfs_mode = NtfsMode::kFew;
};

class VolumeRun {
 public:
  VolumeRun(JobEnvironment& job, const JobParameters& params, int k, const std::string& letter)
      : job_(job), params_(params), k_(k), letter_(letter) {}

  void Run(int& row) {
    JobState& state = job_.state;
    const Environment& env = job_.context.env;
    state.WorkStatus = kStatusCompleted;
    state.WorkStatusNote.clear();
    start_ = job_.host.Now();
    state.PausedMilliseconds = 0;
    if (Prepare()) {
      CleanSubSteps();
    } else {
      ShowOnAllSteps(job_, job_.page.IconERROR);
      state.WorkStatus = kStatusPreparationFailed;
      state.WorkStatusNote = RefusalText(job_.context, refusal_);
    }
    // The lock on the folder goes with it; the next job may take the volume.
    folder_.reset();
    if (state.StopRequested) {
      state.WorkStatus = kStatusStopped;
      state.WorkStatusNote.clear();
    }
    auto end = job_.host.Now();
    long long elapsed = SecondBoundaries(start_, end) - state.PausedMilliseconds / 1000;
    long long serial = std::llabs(static_cast<long long>(volume_.SerialNumber));
    AppendJobLog(env, BuildJobLogLine({state.WorkStatus, platform::LocalDateTimeText(start_),
                                       platform::LocalDateTimeText(end), elapsed, letter_,
                                       volume_.VolumeName, volume_.FileSystem, serial,
                                       params_.clean_way, params_.ntfs_mode}));
    if (elapsed > 0 && state.WorkStatus == kStatusCompleted) {
      bool failed = false;
      uint64_t free_end = GetFreeSpace(job_, letter_, &failed);
      if (!failed) {
        StoreRate(job_.context.settings,
                  StatisticsKey(serial, params_.clean_way, params_.ntfs_mode), free_end, elapsed);
      }
    }
    TraceStep(env, "ADDREPORT1");
    ++row;
    AddResultRow(job_, row, letter_);
    TraceStep(env, "");
    job_.host.Sleep(2000);
    LetUpdate(job_);
  }

 private:
  // Volume data, estimate and work folder. False: the preparation failed.
  bool Prepare() {
    const Environment& env = job_.context.env;
    TraceStep(env, "BEFORECLEANUP1");
    bool found = false;
    for (const VolumeInfo& volume : job_.volumes.Volumes()) {
      if (volume.DriveLetter == letter_) {
        volume_ = volume;
        found = true;
      }
    }
    TraceStep(env, "");
    ShowEstimate();
    job_.page.Label13.SetCaption(letter_);
    ShowOnAllSteps(job_, job_.page.IconPEND);
    if (k_ > 1) job_.host.Sleep(1000);
    LetUpdate(job_);
    // A volume no longer listed, or no longer ready, cannot be cleaned; the data of another
    // volume must not stand in for it.
    if (!found || !IsUsableVolume(volume_)) return false;
    folder_ = SetUpWorkFolder(job_.volumes, WorkFolderPath(env, job_.volumes, letter_), refusal_);
    return folder_ != nullptr;
  }

  void ShowEstimate() {
    long long serial = std::llabs(static_cast<long long>(volume_.SerialNumber));
    std::optional<double> rate = StoredRate(
        job_.context.settings, StatisticsKey(serial, params_.clean_way, params_.ntfs_mode));
    std::string text;
    if (rate) {
      auto now = job_.host.Now();
      text = Text(job_, "VERSION3", "ESTIMATED") + " " +
             platform::LocalDateTimeText(EstimatedEnd(now, volume_.AvailableSpace, *rate));
    }
    job_.page.Label14.SetCaption(text);
  }

  void CleanSubSteps() {
    const Environment& env = job_.context.env;
    JobState& state = job_.state;
    state.WorkFileCount = 0;
    SubStepInput in{SubStep::kSmallFiles,
                    letter_,
                    folder_.get(),
                    params_.ntfs_mode,
                    volume_.DriveType == kDriveRemovable,
                    volume_.TotalSize,
                    volume_.AvailableSpace,
                    volume_.FileSystem};
    const char* tags[] = {"CLEANINGSUB1", "CLEANINGSUB2", "CLEANINGSUB3", "CLEANINGSUB4"};
    for (int i = 0; i < 4; ++i) {
      TraceStep(env, tags[i]);
      in.step = static_cast<SubStep>(i);
      bool fill_step = in.step == SubStep::kCopySource || in.step == SubStep::kFill;
      if (fill_step && params_.clean_way != CleanWay::kFreeSpace) {
        job_.page.StepImage[i].SetPicture(job_.page.IconOKgray.PictureName());
      } else {
        RunSubStep(job_, in);
      }
      if (i < 3 && !state.StopRequested) job_.host.Sleep(300);
    }
    // Through the handle, so that even files in a folder no longer in place are ours.
    LetUpdate(job_);
    folder_->RemoveAll();
    TraceStep(env, "");
  }

  JobEnvironment& job_;
  const JobParameters& params_;
  int k_;
  std::string letter_;
  VolumeInfo volume_;
  std::unique_ptr<WorkFolderHandle> folder_;
  FolderRefusal refusal_ = FolderRefusal::kNone;
  std::chrono::system_clock::time_point start_;
};

}  // namespace

CleanWay CleanWayOf(const std::string& stored) {
  return stored == "7" ? CleanWay::kFreeSpace : CleanWay::kFileRecords;
}

NtfsMode NtfsModeOf(const std::string& stored) {
  if (stored == "2") return NtfsMode::kMore;
  if (stored == "3") return NtfsMode::kMost;
  return NtfsMode::kFew;
}

void StartCleaningJob(JobEnvironment& job, const std::string& letters) {
  WorkingPage& page = job.page;
  SetProgress(page.ProgressBar1, 1, 0);
  LetUpdate(job);
  if (page.Check4.Value() != 0) {
    page.status.SetCaption(Text(job, "INTERFACE", "EMPTYBIN"));
    page.Label10.SetCaption("");
    LetUpdate(job);
    job.volumes.EmptyRecycleBin();
    LetUpdate(job);
  }
  page.Label9.SetCaption(Text(job, "INTERFACE", "LABEL9") + " " + letters);
  page.Command4.SetVisible(true);
  LetUpdate(job);
  CleaningJob(job, letters);
  page.Command4.SetVisible(false);
}

void CleaningJob(JobEnvironment& job, const std::string& letters) {
  const Environment& env = job.context.env;
  if (PreventStandBy(job) && job.power_hook) job.power_hook->HookPowerMessages();
  TraceStep(env, "REPORTCONTROLS1");
  for (int r = 1; r <= kOldRowsToRemove; ++r) {
    job.page.ReportImage.Unload(r);
    job.page.ReportDisk.Unload(r);
    job.page.ReportInfo.Unload(r);
  }
  TraceStep(env, "");
  int row = -1;
  JobParameters params;
  params.ntfs_mode =
      job.overrides.ntfs_mode.value_or(NtfsModeOf(Get(job.context.settings, settings::kNtfsMode)));
  params.clean_way = job.overrides.clean_way.value_or(
      CleanWayOf(Get(job.context.settings, settings::kSecurityWay)));
  for (size_t k = 1; k <= letters.size(); ++k) {
    VolumeRun(job, params, static_cast<int>(k), letters.substr(k - 1, 1)).Run(row);
  }
  if (job.end_of_job_actions) job.end_of_job_actions();
  if (PreventStandBy(job) && job.power_hook) job.power_hook->UnhookPowerMessages();
  if (job.show_report_page) job.show_report_page();
}

void RunSubStep(JobEnvironment& job, const SubStepInput& in) {
  WorkingPage& page = job.page;
  int i = Number(in.step);
  std::string n = std::to_string(i + 1);
  page.status.SetCaption(Text(job, "VERSION3", "STEP" + n + "-TITLE"));
  page.Label10.SetCaption(Text(job, "VERSION3", "STEP" + n + "-INFO"));
  SetProgress(page.ProgressBar1, 3, 0);
  LetUpdate(job);
  SetStepIcon(job, i, page.IconCURR);
  bool deletion = in.step == SubStep::kDeletion;
  if (deletion || (job.state.WorkStatus == kStatusCompleted && !job.state.StopRequested)) {
    switch (in.step) {
      case SubStep::kSmallFiles:
        SmallFilePass(job, in);
        break;
      case SubStep::kCopySource:
        BuildCopySource(job, in);
        break;
      case SubStep::kFill:
        FillFreeSpace(job, in);
        break;
      case SubStep::kDeletion:
        ClearWorkFolder(job, in);
        break;
    }
    // Whatever a sub-step did went into the folder it was given; if that is no longer the
    // volume's work folder (unmounted, even lazily, or replaced), nothing it did counts. The
    // deletion removes the folder itself and fails on its own when it cannot.
    if (!deletion && in.folder && !in.folder->StillInPlace() &&
        job.state.WorkStatus == kStatusCompleted) {
      constexpr WorkStatusCode kFailureOf[] = {kStatusSmallFilesFailed, kStatusCopySourceFailed,
                                               kStatusFillFailed};
      job.state.WorkStatus = kFailureOf[i];
      job.state.WorkStatusNote = Text(job, "VERSION3", "WORK-FOLDER-GONE");
    }
    SetProgress(page.ProgressBar1, 3, 3);
    LetUpdate(job);
  }
  page.Label44.SetCaption("");
  bool fine = !job.state.StopRequested && job.state.WorkStatus == kStatusCompleted;
  SetStepIcon(job, i, (fine || deletion) ? page.IconOK : page.IconERROR);
}

}  // namespace nd::engine
