#include "engine/work_folder.h"

#include <cctype>
#include <vector>

#include "engine/progress.h"
#include "engine/usable_volumes.h"
#include "localisation/text_lookup.h"
#include "platform/paths.h"
#include "system/environment_probe.h"

namespace nd::engine {
namespace {

constexpr std::string_view kMessageTitle = "Nulldrift";
constexpr std::string_view kTestFile = "test.txt";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string WorkFolderPath(const Environment& env, VolumeAccess& volumes,
                           const std::string& letter) {
  if (Upper(env.system_drive_letter) == Upper(letter)) {
    return platform::JoinPath(env.app_data_folder, std::string(kWorkFolderName));
  }
  std::string root = volumes.RootOf(letter);
  if (root.empty()) return {};
  return platform::JoinPath(root, std::string(kWorkFolderName));
}

std::unique_ptr<WorkFolderHandle> SetUpWorkFolder(VolumeAccess& volumes, const std::string& path,
                                                  FolderRefusal& why) {
  why = FolderRefusal::kUnusable;
  if (path.empty()) return nullptr;
  std::unique_ptr<WorkFolderHandle> folder = volumes.OpenWorkFolder(path, why);
  if (!folder) return nullptr;
  folder->DisableCompression();
  if (folder->Create(kTestFile, "test\r\n") != IoStatus::kOk || !folder->Delete(kTestFile)) {
    why = FolderRefusal::kUnusable;
    return nullptr;
  }
  return folder;
}

std::string RefusalText(const Context& context, FolderRefusal why) {
  switch (why) {
    case FolderRefusal::kNotAFolder:
      return LookupText(context.language, "VERSION3", "WORK-FOLDER-LINK");
    case FolderRefusal::kNotOurs:
      return LookupText(context.language, "VERSION3", "WORK-FOLDER-FOREIGN");
    case FolderRefusal::kBusy:
      return LookupText(context.language, "VERSION3", "WORK-FOLDER-BUSY");
    default:
      return {};
  }
}

void ClearWorkFolder(JobEnvironment& job, const SubStepInput& in) {
  WorkFolderHandle* folder = in.folder;
  if (!folder) return;
  // A folder no longer in place (the volume unmounted, even lazily) leaves the earlier result
  // standing; what the job wrote there is still removed through the handle, so that the
  // volume does not come back full.
  if (!folder->StillInPlace()) {
    folder->RemoveAll();
    return;
  }
  ui::ProgressBar& bar = job.page.ProgressBar1;
  SetProgress(bar, 1, 0);
  LetUpdate(job);
  // Delayed allocation may still hold what the job wrote; deleted before it reaches the
  // device, it would never overwrite anything.
  if (!folder->Flush()) job.state.WorkStatus = kStatusDeletionFailed;
  std::vector<std::string> names;
  if (!folder->ListWorkFiles(names)) {
    job.state.WorkStatus = kStatusDeletionFailed;
    return;
  }
  SetProgress(bar, static_cast<double>(job.state.WorkFileCount), 0);
  LetUpdate(job);
  int64_t i = 0;
  for (const std::string& name : names) {
    TickProgress(job, 0, static_cast<double>(i));
    ++i;
    if (!folder->Delete(name)) {
      job.state.WorkStatus = kStatusDeletionFailed;
      return;
    }
    WaitWhilePaused(job, in.step);
  }
  if (!folder->RemoveIfEmpty()) {
    job.state.WorkStatus = kStatusDeletionFailed;
    // Moved or replaced meanwhile: no later sweep finds it, so the general text, which
    // promises one, would be wrong.
    if (!folder->StillInPlace()) {
      job.state.WorkStatusNote = LookupText(job.context.language, "VERSION3", "WORK-FOLDER-GONE");
    }
  }
}

void RemoveLeftoverWorkFolders(const Context& context, ui::Host& host, VolumeAccess& volumes,
                               const SkippedFolder& skipped, std::string_view only_letters) {
  for (const VolumeInfo& volume : volumes.Volumes()) {
    if (!IsUsableVolume(volume)) continue;
    if (!only_letters.empty() &&
        only_letters.find(Upper(volume.DriveLetter)) == std::string_view::npos) {
      continue;
    }
    std::string folder = WorkFolderPath(context.env, volumes, Upper(volume.DriveLetter));
    if (folder.empty()) continue;
    FolderState state = volumes.InspectFolder(folder);
    if (state == FolderState::kAbsent) continue;
    if (state != FolderState::kOurs) {
      if (skipped) skipped(folder, state);
      continue;
    }
    host.MsgBox(ui::MsgBoxIcon::kExclamation,
                LookupText(context.language, "VERSION3", "OLD-FOLDER-EXISTS") + "\r\n\r\n" + folder,
                ui::MsgBoxButtons::kOk, kMessageTitle);
    volumes.RemoveLeftover(folder);
    host.MsgBox(ui::MsgBoxIcon::kInformation,
                LookupText(context.language, "VERSION3", "OLD-FOLDER-DELETED"),
                ui::MsgBoxButtons::kOk, kMessageTitle);
  }
}

}  // namespace nd::engine
