#include "engine/free_space_fill.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/filler.h"
#include "engine/job_log.h"
#include "engine/progress.h"
#include "engine/small_file_pass.h"
#include "localisation/text_lookup.h"
#include "platform/paths.h"
#include "system/environment_probe.h"

namespace nd::engine {
namespace {

constexpr uint64_t kSystemVolumeFloor = 500'000;
constexpr uint64_t kSourceRecheckEvery = 64;
// While the filesystem's pool is filled, each append waits for the device; a batch of lines
// per append (up to about 8 MB of medium lines) keeps those waits few.
constexpr uint64_t kPoolBatchLines = 160;
constexpr uint64_t kCopyMargin = 300'000;
constexpr uint64_t kCopyMarginFromFine = 200'000;
constexpr uint64_t kMediumFloor = 100'000;
constexpr uint64_t kFineFloor = 3000;
constexpr uint64_t kNoteBelow = 150'000'000;
constexpr std::string_view kCopyNameTail = "-012345678901234567890123456789";
// The end of a fill, cluster by cluster: at most this many clusters per append, and at most
// this many small files given back for the file-table records a last append may need.
constexpr uint64_t kMostClustersPerAppend = 256;
constexpr int kMostGiveBacks = 64;
// NTFS grows its file table by far fewer records than this at a time.
constexpr int kMostExtraRecords = 4096;
// The clusters of filler given back on NTFS for the file table's last records to be used.
constexpr uint64_t kRecordRoomClusters = 64;
// Where the volume does not say, the smallest unit any file system allocates.
constexpr uint64_t kSmallestCluster = 512;
constexpr std::string_view kMediumFile = "fw1";
constexpr std::string_view kFineFile = "fw2";

enum class Phase { kCopy, kMedium, kFine, kFinalWait, kFinish, kFailed };

std::string CopyName(int i) { return "000-ws" + std::to_string(i) + std::string(kCopyNameTail); }

// The state of one fill. Besides the described phase rules it guards against two things the
// filesystem can do: refuse an append although it still reports free space (then the fill
// goes to the finer phase and never climbs back above it), and accept writes without the free
// space falling (compression, deduplication), which would otherwise loop forever. Where the
// phases end with room left (up to 3000 bytes, or more where an append was refused), the fill
// goes on cluster by cluster, and it writes the unused tail of every filler file's last
// cluster, which would otherwise keep the deleted data it held.
class Fill {
 public:
  Fill(JobEnvironment& job, const SubStepInput& in)
      : job_(job),
        in_(in),
        folder_(*in.folder),
        cluster_(job.volumes.ClusterSize(in.drive_letter).value_or(kSmallestCluster)),
        threshold_(FillThreshold(in.removable)),
        copy_source_(CopySourcePath(job.context.env)),
        stall_limit_(std::max<uint64_t>(static_cast<uint64_t>(std::max(in.total_size, 0.0)),
                                        4 * threshold_)) {
    std::string filler = BuildFillerText(job.page, job.random, kFillerBlockChars);
    medium_line_ = AsLine(LargeFillerBlock(filler));
    fine_line_ = AsLine(std::move(filler));
  }

  void Run() {
    ui::ProgressBar& bar = job_.page.ProgressBar1;
    SetProgress(bar, static_cast<double>(GetFreeSpace(job_, in_.drive_letter)), 0);
    copies_ = 0;
    // The copy source is its one line over and over; knowing that, every copy is written
    // from memory, at the speed of the disk, instead of reading the source again each time.
    repeating_ = job_.volumes.ReadRepetition(copy_source_, kSourceBlockChars + 2, source_line_,
                                             source_size_);
    LetUpdate(job_);
    bool failed = false;
    free_ = GetFreeSpace(job_, in_.drive_letter, &failed);
    if (failed) {
      job_.page.Label32.SetCaption("");
      job_.state.WorkStatus = kStatusFillFailed;
      return;
    }
    lowest_free_ = free_;
    Phase phase = free_ < threshold_ ? Phase::kFine : Phase::kCopy;
    while (phase != Phase::kFinish && phase != Phase::kFailed) {
      switch (phase) {
        case Phase::kCopy:
          phase = CopyUnit();
          break;
        case Phase::kMedium:
          phase = AppendUnit(medium_line_, kMediumFile, Phase::kMedium);
          break;
        case Phase::kFine:
          phase = AppendUnit(fine_line_, kFineFile, Phase::kFine);
          break;
        case Phase::kFinalWait:
          phase = FinalWait();
          break;
        default:
          break;
      }
    }
    if (pool_) job_.volumes.RestoreReserve(in_.drive_letter, *pool_);
    job_.page.Label32.SetCaption("");
    if (phase == Phase::kFailed) {
      job_.state.WorkStatus = kStatusFillFailed;
      return;
    }
    if (job_.volumes.DataFileExists(copy_source_)) job_.volumes.DeleteFile(copy_source_);
  }

 private:
  Phase CopyUnit() {
    ++copies_;
    ++job_.state.WorkFileCount;
    std::string target = CopyName(copies_);
    uint64_t free_before = free_;
    IoStatus status = repeating_ ? folder_.WriteRepeated(target, source_line_, source_size_)
                                 : folder_.Copy(copy_source_, target);
    if (status == IoStatus::kNoSpace && free_before >= CopyBytes()) return CopyCutShort(target);
    if (status != IoStatus::kOk) return Phase::kFailed;
    written_files_.push_back(target);
    if (!Report(CopyBytes())) return Phase::kFailed;
    if (free_ < kNoteBelow && job_.page.Label44.Caption().empty()) {
      job_.page.Label44.SetCaption(LookupText(job_.context.language, "INTERFACE", "LABEL44"));
    }
    if (Interrupted()) return Phase::kFinish;
    return free_ > threshold_ + kCopyMargin ? Phase::kCopy : Phase::kMedium;
  }

  // A copy refused although the free space had room for it: the file system keeps part of
  // what it reports free for its own records (ntfs-3g needs some for a large file's run list
  // and its file table). What the copy wrote is filler like the rest, and the finer phases
  // take what is left. Refused with plenty still free, it is a failure as before.
  Phase CopyCutShort(const std::string& target) {
    written_files_.push_back(target);
    if (!Report(0)) return Phase::kFailed;
    if (free_ > threshold_ + kCopyMargin) return Phase::kFailed;
    if (Interrupted()) return Phase::kFinish;
    return free_ > kMediumFloor ? Phase::kMedium : Phase::kFine;
  }

  Phase AppendUnit(const std::string& line, std::string_view name, Phase phase) {
    IoStatus status = IoStatus::kOk;
    uint64_t written = line.size();
    if (!pool_) {
      status = folder_.Append(name, line, false);
    } else {
      // As many lines as the phase may still write before it hands over to the next one.
      uint64_t floor = phase == Phase::kMedium ? kMediumFloor : kFineFloor;
      uint64_t room = free_ > floor ? (free_ - floor) / line.size() : 0;
      uint64_t lines = std::clamp<uint64_t>(room, 1, kPoolBatchLines);
      std::string batch;
      batch.reserve(lines * line.size());
      for (uint64_t i = 0; i < lines; ++i) batch += line;
      written = batch.size();
      status = folder_.Append(name, batch, true);
    }
    if (status == IoStatus::kFailed) return Phase::kFailed;
    NoteWritten(name);
    if (status == IoStatus::kNoSpace) {
      // Full although the free space said otherwise: the rest is below the filesystem's
      // own reserve. Go finer, and never coarser again.
      ceiling_ = phase == Phase::kMedium ? Phase::kFine : Phase::kFinalWait;
      free_ = GetFreeSpace(job_, in_.drive_letter);
      job_.page.Label32.SetCaption(std::to_string(free_));
      return ceiling_;
    }
    if (!Report(written)) return Phase::kFailed;
    if (Interrupted()) return Phase::kFinish;
    if (phase == Phase::kMedium) {
      if (free_ > threshold_ + kCopyMargin) return Limit(Phase::kCopy);
      return Limit(free_ > kMediumFloor ? Phase::kMedium : Phase::kFine);
    }
    if (free_ > threshold_ + kCopyMarginFromFine) return Limit(Phase::kCopy);
    if (free_ > kMediumFloor) return Limit(Phase::kMedium);
    return free_ > kFineFloor ? Phase::kFine : Phase::kFinalWait;
  }

  Phase FinalWait() {
    if (!pool_ && TakeReservedPool()) {
      if (free_ > kMediumFloor) return Phase::kMedium;
      if (free_ > kFineFloor) return Phase::kFine;
    }
    if (Phase last = FillLastClusters(); last != Phase::kFinalWait) return last;
    job_.page.status.SetCaption(
        LookupText(job_.context.language, "INTERFACE", "WAITINGTOCOMPLETE"));
    for (int i = 0; i < 10; ++i) {
      job_.host.Sleep(500);
      LetUpdate(job_);
    }
    return Phase::kFinish;
  }

  // Writes the tails of the filler files' last clusters, then appends whole clusters to the
  // fine file until the file system refuses a single one. A refusal while clusters are still
  // free means the file system needs a record for the file's growing extent list (NTFS with
  // its file table full of small files): one small file is given back and the append tried
  // again. kFinalWait when done; kFinish after a stop; kFailed on an error.
  Phase FillLastClusters() {
    for (const std::string& name : written_files_) {
      if (folder_.PadToMultiple(name, cluster_, fine_line_) == IoStatus::kFailed) {
        return Phase::kFailed;
      }
    }
    if (Phase phase = AppendUntilRefused(); phase != Phase::kFinalWait) return phase;
    // NTFS grows its file table in steps, and the records of the last step that no file has
    // used yet keep what deleted files left in those clusters; a full volume lets no new file
    // in to use them. So some clusters of the medium file, which hold only filler, are given
    // back (its last clusters were written to their end), new empty small files take the
    // records (the table grows into those clusters if it must), and what is left of them is
    // filled again.
    if (in_.file_system == "NTFS" && WasWritten(kMediumFile)) {
      if (folder_.CutEnd(kMediumFile, kRecordRoomClusters * cluster_) == IoStatus::kOk) {
        TakeFreeFileRecords();
        if (Phase phase = AppendUntilRefused(); phase != Phase::kFinalWait) return phase;
      }
    }
    job_.page.Label32.SetCaption(std::to_string(free_));
    return Phase::kFinalWait;
  }

  // Appends whole clusters until the file system refuses a single one. kFinalWait when done;
  // kFinish after a stop; kFailed on an error.
  Phase AppendUntilRefused() {
    uint64_t most_clusters = kMostClustersPerAppend;
    int given_back = 0;
    std::string target(kFineFile);
    bool fresh_target = false;
    // Every round writes clusters, makes the batch one cluster, starts a new filler file or
    // gives a small file back.
    uint64_t rounds = free_ / cluster_ + 16 + 4 * kMostGiveBacks;
    while (rounds-- > 0) {
      bool failed = false;
      free_ = GetFreeSpace(job_, in_.drive_letter, &failed);
      if (failed) return Phase::kFailed;
      if (free_ < cluster_) break;
      uint64_t clusters = std::min(free_ / cluster_, most_clusters);
      IoStatus status = folder_.Append(target, Filler(clusters * cluster_), true);
      if (status == IoStatus::kFailed) return Phase::kFailed;
      if (status == IoStatus::kOk) {
        NoteWritten(target);
        fresh_target = false;
        if (!Report(clusters * cluster_)) break;
        if (Interrupted()) return Phase::kFinish;
        continue;
      }
      // A refused batch may have been written in part: the file is padded to the cluster
      // again so that the next append starts on a boundary.
      folder_.PadToMultiple(target, cluster_, fine_line_);
      if (clusters > 1) {
        most_clusters = 1;
      } else if (!fresh_target) {
        // The file may need a block of its own for a longer extent list (ext4) where a new
        // file keeps its one cluster in its record.
        target = CopyName(++copies_);
        ++job_.state.WorkFileCount;
        fresh_target = true;
      } else if (given_back >= kMostGiveBacks || !GiveBackSmallFile()) {
        break;
      } else {
        ++given_back;
      }
    }
    return Phase::kFinalWait;
  }

  // Empty small files take free file records until the file system refuses one more.
  void TakeFreeFileRecords() {
    int64_t next = NextSmallFileIndex();
    for (int made = 0; made < kMostExtraRecords; ++made) {
      if (folder_.Create(SmallFileName(next + made), "") != IoStatus::kOk) break;
      ++job_.state.WorkFileCount;
      if (made % 64 == 63) LetUpdate(job_);
    }
  }

  // `bytes` of filler lines, the last one cut where the bytes end.
  std::string Filler(uint64_t bytes) const {
    std::string text;
    text.reserve(bytes);
    while (text.size() < bytes) text.append(fine_line_, 0, bytes - text.size());
    return text;
  }

  // One past the highest small-file number in the folder.
  int64_t NextSmallFileIndex() {
    ListSmallFiles();
    int64_t next = 0;
    for (const std::string& name : small_files_) {
      next = std::max<int64_t>(next, std::strtoll(name.c_str() + 2, nullptr, 10) + 1);
    }
    return next;
  }

  // Deletes the small file written last; false when none is left.
  bool GiveBackSmallFile() {
    ListSmallFiles();
    while (!small_files_.empty()) {
      std::string name = std::move(small_files_.back());
      small_files_.pop_back();
      if (folder_.Delete(name)) return true;
    }
    return false;
  }

  void ListSmallFiles() {
    if (!small_files_listed_) {
      small_files_listed_ = true;
      std::vector<std::string> names;
      if (folder_.ListWorkFiles(names)) {
        for (std::string& name : names) {
          if (name.rfind("bo", 0) == 0) small_files_.push_back(std::move(name));
        }
      }
    }
  }

  bool WasWritten(std::string_view name) const {
    return std::find(written_files_.begin(), written_files_.end(), name) != written_files_.end();
  }
  void NoteWritten(std::string_view name) {
    if (!WasWritten(name)) written_files_.emplace_back(name);
  }

  // The filesystem's own pool of free blocks would keep the deleted data in it. Once the rest
  // is full, everything waiting to be written back (ours and other programs') goes to the
  // device, the pool is set aside, and its blocks are filled with appends that reach the
  // device before they return; the pool comes back at the end of the fill.
  bool TakeReservedPool() {
    if (!folder_.Flush()) return false;
    pool_ = job_.volumes.SetAsideReserve(in_.drive_letter);
    if (!pool_) return false;
    ceiling_ = Phase::kMedium;
    bool failed = false;
    free_ = GetFreeSpace(job_, in_.drive_letter, &failed);
    lowest_free_ = free_;
    written_since_low_ = 0;
    return !failed;
  }

  // Reads the free space after a unit of `written` bytes and shows it. False when the free
  // space has not reached a new low although more than the stall limit has been written since.
  bool Report(uint64_t written) {
    bool failed = false;
    free_ = GetFreeSpace(job_, in_.drive_letter, &failed);
    if (failed) return false;
    ui::ProgressBar& bar = job_.page.ProgressBar1;
    double done = std::floor(bar.Max() - static_cast<double>(free_));
    if (done <= bar.Max()) bar.SetValue(done);
    job_.page.Label32.SetCaption(std::to_string(free_));
    if (free_ < lowest_free_) {
      lowest_free_ = free_;
      written_since_low_ = 0;
      return true;
    }
    written_since_low_ += written;
    return written_since_low_ <= stall_limit_;
  }

  bool Interrupted() {
    LetUpdate(job_);
    WaitWhilePaused(job_, in_.step);
    return job_.state.StopRequested;
  }

  Phase Limit(Phase wanted) const { return std::max(wanted, ceiling_); }

  uint64_t CopyBytes() const { return threshold_ / 1000 * (kSourceBlockChars + 2); }

  JobEnvironment& job_;
  const SubStepInput& in_;
  WorkFolderHandle& folder_;
  uint64_t cluster_;
  uint64_t threshold_;
  std::string copy_source_;
  uint64_t stall_limit_;
  std::string medium_line_;
  std::string fine_line_;
  Phase ceiling_ = Phase::kCopy;
  bool repeating_ = false;
  std::string source_line_;
  uint64_t source_size_ = 0;
  std::optional<uint64_t> pool_;
  int copies_ = 0;
  uint64_t free_ = 0;
  uint64_t lowest_free_ = 0;
  uint64_t written_since_low_ = 0;
  std::vector<std::string> written_files_;  // the filler files of this fill, in order
  std::vector<std::string> small_files_;
  bool small_files_listed_ = false;
};

}  // namespace

uint64_t FillThreshold(bool removable) { return removable ? 5'000'000 : 50'000'000; }

std::string CopySourcePath(const Environment& env) {
  return platform::JoinPath(env.data_folder, "temp.xd");
}

void BuildCopySource(JobEnvironment& job, const SubStepInput& in) {
  uint64_t lines = FillThreshold(in.removable) / 1000;
  std::string line = AsLine(BuildFillerText(job.page, job.random, kSourceBlockChars));
  ui::ProgressBar& bar = job.page.ProgressBar1;
  SetProgress(bar, static_cast<double>(lines), 0);
  LetUpdate(job);
  IoStatus status = IoStatus::kOk;
  auto fail = [&job](IoStatus why) {
    job.state.WorkStatus = kStatusCopySourceFailed;
    if (why == IoStatus::kNoSpace) {
      job.state.WorkStatusNote = LookupText(job.context.language, "VERSION3", "DATA-FOLDER-FULL");
    }
  };
  auto file = job.volumes.CreateFile(CopySourcePath(job.context.env), status);
  if (!file) {
    fail(status);
    return;
  }
  // Only the system volume, which holds the data folder, is watched here.
  FreeSpaceWatch system_free(job, job.context.env.system_drive_letter, kSystemVolumeFloor,
                             line.size(), kSourceRecheckEvery);
  for (uint64_t k = 1; k <= lines; ++k) {
    TickProgress(job, 0, bar.Value() + 1);
    if (IoStatus written = file->Write(line); written != IoStatus::kOk) {
      fail(written);
      return;
    }
    if (system_free.Below()) {
      if (system_free.Failed()) job.state.WorkStatus = kStatusCopySourceFailed;
      break;
    }
    WaitWhilePaused(job, in.step);
    if (job.state.StopRequested) break;
  }
  if (IoStatus closed = file->Close(); closed != IoStatus::kOk) fail(closed);
}

void FillFreeSpace(JobEnvironment& job, const SubStepInput& in) { Fill(job, in).Run(); }

}  // namespace nd::engine
