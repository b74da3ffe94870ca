#include "engine/small_file_pass.h"

#include <algorithm>
#include <cmath>

#include "engine/filler.h"
#include "engine/free_space_fill.h"
#include "engine/progress.h"
#include "localisation/text_lookup.h"
#include "system/environment_probe.h"

namespace nd::engine {
namespace {

constexpr uint64_t kFreeFloor = 50'000'000;
// No small file takes more than a large cluster and its directory entry.
constexpr uint64_t kMostPerFile = 128 * 1024;
constexpr int64_t kRecheckEvery = 16;
constexpr double kRemovableFullSize = 33'000'000'000.0;

std::string Digits100() {
  std::string digits;
  for (int i = 0; i < 10; ++i) digits += "0123456789";
  return digits;
}

// The directory or inode table is full, so every reusable entry has been written. The fill
// that may follow needs entries of its own: one per copy of the copy source and two for the
// appended files. Each small file, with its long name, frees at least one such entry.
void MakeRoomForTheFill(JobEnvironment& job, const SubStepInput& in, int64_t written) {
  uint64_t needed = GetFreeSpace(job, in.drive_letter) / FillThreshold(in.removable) + 3;
  int64_t first = std::max<int64_t>(0, written - static_cast<int64_t>(needed));
  for (int64_t i = written - 1; i >= first; --i) {
    in.folder->Delete(SmallFileName(i));
  }
}

}  // namespace

int64_t SmallFileCount(const SmallFileCountInput& in) {
  int64_t n = static_cast<int64_t>(std::floor(std::max(in.total_size, 0.0) / 10 / 1000));
  int64_t cap = in.ntfs_mode == NtfsMode::kMost   ? 150'000
                : in.ntfs_mode == NtfsMode::kMore ? 70'000
                                                  : 20'000;
  n = std::min(n, cap);
  if (in.removable && static_cast<double>(in.free_space) < kRemovableFullSize) n /= 100;
  return std::max<int64_t>(n, 1);
}

std::string SmallFileName(int64_t i) {
  static const std::string digits = Digits100();
  return "bo" + std::to_string(i) + "-" + digits + ".$$$";
}

void SmallFilePass(JobEnvironment& job, const SubStepInput& in) {
  bool ntfs = in.file_system == "NTFS";
  SmallFileCountInput count{in.total_size, in.ntfs_mode, in.removable, 0};
  if (in.removable) count.free_space = GetFreeSpace(job, in.drive_letter);
  int64_t n = SmallFileCount(count);
  job.state.WorkFileCount = n;
  std::string body =
      ntfs ? AsLine(BuildFillerText(job.page, job.random, kSmallFileBodyChars)) : std::string();
  ui::ProgressBar& bar = job.page.ProgressBar1;
  SetProgress(bar, static_cast<double>(n), 0);
  job.page.Label44.SetCaption(LookupText(job.context.language, "VERSION3", "MAYBESLOW"));
  LetUpdate(job);
  FreeSpaceWatch free_space(job, in.drive_letter, kFreeFloor, kMostPerFile, kRecheckEvery);
  for (int64_t i = 0; i <= n; ++i) {
    TickProgress(job, 1, static_cast<double>(i));
    if (free_space.Below()) {
      if (free_space.Failed()) job.state.WorkStatus = kStatusSmallFilesFailed;
      return;
    }
    IoStatus status = in.folder->Create(SmallFileName(i), body);
    if (status == IoStatus::kNoSpace) {
      MakeRoomForTheFill(job, in, i);
      return;
    }
    if (status != IoStatus::kOk) {
      job.state.WorkStatus = kStatusSmallFilesFailed;
      return;
    }
    WaitWhilePaused(job, in.step);
    if (job.state.StopRequested) {
      job.state.WorkFileCount = i;
      return;
    }
  }
}

}  // namespace nd::engine
