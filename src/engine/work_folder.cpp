#include "engine/work_folder.h"

#include <cctype>
#include <vector>

#include "engine/progress.h"
#include "engine/volumes.h"
#include "localisation/text_lookup.h"
#include "system/environment.h"

namespace nd::engine {
namespace {

constexpr std::string_view kMessageTitle = "Nulldrift";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string WorkFolderPath(const Environment& env, VolumeAccess& volumes,
                           const std::string& letter) {
  if (Upper(env.system_drive_letter) == Upper(letter)) {
    return JoinPath(env.app_data_folder, std::string(kWorkFolderName));
  }
  std::string root = volumes.RootOf(letter);
  if (root.empty()) return {};
  return JoinPath(root, std::string(kWorkFolderName));
}

bool SetUpWorkFolder(VolumeAccess& volumes, const std::string& folder) {
  if (folder.empty()) return false;
  if (!volumes.FolderExists(folder)) volumes.MakeFolder(folder);
  // A symbolic link in the folder's place would lead the deletion elsewhere.
  if (!volumes.FolderExists(folder)) return false;
  volumes.DisableCompression(folder);
  std::string test = JoinPath(folder, "test.txt");
  return volumes.WriteNewFile(test, "test\r\n") == IoStatus::kOk && volumes.DeleteFile(test);
}

void ClearWorkFolder(JobEnvironment& job, const SubStepInput& in) {
  VolumeAccess& volumes = job.volumes;
  const std::string& folder = in.work_folder;
  if (folder.empty() || !volumes.FolderExists(folder)) return;
  ui::ProgressBar& bar = job.page.ProgressBar1;
  SetProgress(bar, 1, 0);
  LetUpdate(job);
  // Delayed allocation may still hold what the job wrote; deleted before it reaches the
  // device, it would never overwrite anything.
  if (!volumes.Flush(folder)) job.state.WorkStatus = kStatusDeletionFailed;
  std::vector<std::string> names;
  if (!volumes.ListFiles(folder, names)) {
    job.state.WorkStatus = kStatusDeletionFailed;
    return;
  }
  SetProgress(bar, static_cast<double>(job.state.WorkFileCount), 0);
  LetUpdate(job);
  int64_t i = 0;
  for (const std::string& name : names) {
    if (ClockTick(job, 0)) {
      if (bar.Max() >= static_cast<double>(i)) bar.SetValue(static_cast<double>(i));
      LetUpdate(job);
    }
    ++i;
    if (!volumes.DeleteFile(JoinPath(folder, name))) {
      job.state.WorkStatus = kStatusDeletionFailed;
      return;
    }
    WaitWhilePaused(job, in.step);
  }
  if (volumes.FolderExists(folder) && !volumes.RemoveEmptyFolder(folder)) {
    job.state.WorkStatus = kStatusDeletionFailed;
  }
}

void RemoveLeftoverWorkFolders(const Context& context, ui::Host& host, VolumeAccess& volumes) {
  for (const VolumeInfo& volume : volumes.Volumes()) {
    if (!IsUsableVolume(volume)) continue;
    std::string folder = WorkFolderPath(context.env, volumes, Upper(volume.DriveLetter));
    if (folder.empty() || !volumes.FolderExists(folder)) continue;
    host.MsgBox(ui::MsgBoxIcon::kExclamation,
                LookupText(context.language, "VERSION3", "OLD-FOLDER-EXISTS") + "\r\n\r\n" + folder,
                ui::MsgBoxButtons::kOk, kMessageTitle);
    volumes.RemoveTree(folder);
    host.MsgBox(ui::MsgBoxIcon::kInformation,
                LookupText(context.language, "VERSION3", "OLD-FOLDER-DELETED"),
                ui::MsgBoxButtons::kOk, kMessageTitle);
  }
}

}  // namespace nd::engine
