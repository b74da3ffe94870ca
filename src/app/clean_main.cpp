// nulldrift-clean: the cleaning job without the wizard, for servers, scripts and benchmarks.
// It runs the same job as the wizard's working page and never changes the wizard's choices.
#include <cstdio>
#include <string>
#include <vector>

#include "app/console_host.h"
#include "engine/cleaning_job.h"
#include "engine/progress.h"
#include "engine/standby.h"
#include "engine/stop_button.h"
#include "engine/volume_access.h"
#include "engine/work_folder.h"
#include "engine/working_page_form.h"
#include "localisation/language_selection.h"
#include "platform/power.h"
#include "platform/volumes.h"
#include "shell/clean_command.h"
#include "system/scramble.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  nd::CleanCommand command = nd::ParseCleanCommand(args);
  if (command.help) {
    std::fputs(nd::CleanHelpText().c_str(), stdout);
    return 0;
  }
  if (!command.error.empty()) {
    std::fprintf(stderr, "nulldrift-clean: %s (see --help)\n", command.error.c_str());
    return 2;
  }

  nd::Context context{nd::ProbeEnvironment(), {}, nd::SettingsStore::ForCurrentUser()};
  nd::engine::WorkingPageForm form;
  nd::ConsoleHost host(form, stdout);
  if (!nd::InitLanguage(context, host)) return 1;
  auto volumes = nd::engine::MakeSystemVolumeAccess();
  std::string error;
  std::string letters = nd::ResolveVolumes(command.volumes, volumes->Volumes(), error);
  if (letters.empty()) {
    std::fprintf(stderr, "nulldrift-clean: %s\n", error.c_str());
    return 2;
  }

  // A job that was cut off (killed, power lost) may have left a full volume and its ext4 pool
  // set aside: both are given back before anything else is written.
  nd::platform::RestoreForgottenReservedPools();
  nd::engine::RemoveLeftoverWorkFolders(
      context, host, *volumes,
      [](const std::string& folder, nd::engine::FolderState state) {
        std::printf("%s is left alone: %s\n", folder.c_str(),
                    state == nd::engine::FolderState::kBusy
                        ? "another cleaning is running there"
                        : "it is not this user's folder, or others may write in it");
      },
      letters);

  form.SelectMethod(command.method);
  form.Check4.SetValue(command.empty_trash ? 1 : 0);
  auto blocker = nd::platform::MakeSystemSleepBlocker();
  nd::engine::PowerHook power_hook(*blocker);
  nd::engine::JobState state;
  nd::engine::JobEnvironment job{
      context,
      host,
      form.Page(),
      state,
      *volumes,
      nd::ClockSeededRandom(),
      {static_cast<nd::engine::CleanWay>(command.clean_way),
       static_cast<nd::engine::NtfsMode>(command.ntfs_mode), command.prevent_standby},
      &power_hook,
      {},
      {}};
  form.Command4.OnClick = [&job] { nd::engine::Command4_Click(job); };
  nd::engine::StartCleaningJob(job, letters);
  host.FinishLine();

  bool all_completed = true;
  for (int row : form.ReportImage.Indices()) {
    if (!form.ReportDisk[row].Visible()) continue;
    bool completed = form.ReportImage[row].PictureName() == form.IconOK.PictureName();
    all_completed = all_completed && completed;
    std::printf("%s %s\n", form.ReportDisk[row].Caption().c_str(),
                form.ReportInfo[row].Caption().c_str());
  }
  return all_completed ? 0 : 1;
}
