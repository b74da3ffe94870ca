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
#include "platform/os_volumes.h"
#include "platform/power.h"
#include "shell/clean_command.h"
#include "shell/job_watch.h"
#include "shell/json_report.h"
#include "shell/metered_volume_access.h"
#include "shell/volume_listing.h"
#include "system/scramble.h"

namespace {

constexpr int kBadCommandLine = 2;

// A run that ends before its job: the reason on the error output, and for --json also a
// document that says so.
int Refuse(const nd::CleanCommand& command, const std::string& version, const std::string& why,
           int status) {
  std::fprintf(stderr, "nulldrift-clean: %s\n", why.c_str());
  if (command.json) {
    std::fputs(nd::RunReportJson({version, {}, status, why}).c_str(), stdout);
  }
  return status;
}

int List(const nd::CleanCommand& command, const std::string& version) {
  auto volumes = nd::engine::MakeSystemVolumeAccess()->Volumes();
  std::string text =
      command.json ? nd::VolumeListJson(volumes, version) : nd::VolumeListText(volumes);
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  nd::CleanCommand command = nd::ParseCleanCommand(args);
  const std::string version = nd::VersionText(nd::kProgramVersion);
  if (command.help) {
    std::fputs(nd::CleanHelpText().c_str(), stdout);
    return 0;
  }
  if (command.version) {
    std::printf("nulldrift-clean %s\n", version.c_str());
    return 0;
  }
  if (!command.error.empty()) {
    return Refuse(command, version, command.error + " (see --help)", kBadCommandLine);
  }
  if (command.list) return List(command, version);

  nd::Context context{nd::ProbeEnvironment(), {}, nd::SettingsStore::ForCurrentUser()};
  nd::engine::WorkingPageForm form;
  nd::ConsoleStyle style = command.json    ? nd::ConsoleStyle::kSilent
                           : command.quiet ? nd::ConsoleStyle::kQuiet
                                           : nd::ConsoleStyle::kNormal;
  nd::ConsoleHost host(form, stdout, stderr, style);
  if (command.json) {
    host.SetOnEnd([&](int code, const std::string& last_message) {
      std::fputs(nd::RunReportJson({version, {}, code, last_message}).c_str(), stdout);
    });
  }
  if (!nd::InitLanguage(context, host)) return 1;
  auto system_volumes = nd::engine::MakeSystemVolumeAccess();
  nd::MeteredVolumeAccess volumes(*system_volumes);
  std::vector<nd::VolumeInfo> known = volumes.Volumes();
  std::string error;
  std::string letters = nd::ResolveVolumes(command.volumes, known, error);
  if (letters.empty()) return Refuse(command, version, error, kBadCommandLine);

  // A job that was cut off (killed, power lost) may have left a full volume and its ext4 pool
  // set aside: both are given back before anything else is written.
  nd::platform::RestoreForgottenReservedPools();
  nd::engine::RemoveLeftoverWorkFolders(
      context, host, volumes,
      [&host](const std::string& folder, nd::engine::FolderState state) {
        host.Note(folder + " is left alone: " +
                  (state == nd::engine::FolderState::kBusy
                       ? "another cleaning is running there"
                       : "it is not this user's folder, or others may write in it"));
      },
      letters);

  form.SelectMethod(command.method);
  form.Check4.SetValue(command.empty_trash ? 1 : 0);
  auto blocker = nd::platform::MakeSystemSleepBlocker();
  nd::engine::PowerHook power_hook(*blocker);
  nd::engine::JobState state;
  nd::JobWatch watch(
      {form, state, host, volumes, known, command.clean_way, command.ntfs_mode, command.method},
      host.Events());
  host.SetPoll([&watch] { watch.Poll(); });
  nd::engine::JobEnvironment job{
      context,
      host,
      form.Page(),
      state,
      volumes,
      nd::ClockSeededRandom(),
      {static_cast<nd::engine::CleanWay>(command.clean_way),
       static_cast<nd::engine::NtfsMode>(command.ntfs_mode), command.prevent_standby},
      &power_hook,
      {},
      {}};
  form.Command4.OnClick = [&job] { nd::engine::Command4_Click(job); };
  nd::engine::StartCleaningJob(job, letters);
  watch.Poll();
  host.SetPoll({});
  host.FinishLine();

  bool all_completed = !watch.Results().empty();
  for (const nd::VolumeResult& result : watch.Results()) {
    all_completed =
        all_completed && result.result_code == nd::engine::Number(nd::engine::kStatusCompleted);
  }
  int status = all_completed ? 0 : 1;
  if (command.json) {
    host.SetOnEnd({});
    std::fputs(nd::RunReportJson({version, watch.Results(), status, ""}).c_str(), stdout);
  }
  return status;
}
