// A cleaning job on the fake volume: scratch data and settings folders, English texts, the
// scripted host and a working page of its own.
#pragma once

#include <random>
#include <string>

#include "engine/cleaning_job.h"
#include "engine/progress.h"
#include "engine/stop_button.h"
#include "engine/working_page_form.h"
#include "fake_volume.h"
#include "localisation/context.h"
#include "test_support.h"
#include "ui/scripted_host.h"

namespace nd::test {

inline Context ScratchContext(const ScratchFolder& scratch) {
  Environment env;
  env.app_data_folder = scratch.path();
  env.data_folder = scratch / "NDRF3";
  env.system_drive_letter = "C";
  env.version_text = "3.00";
  std::filesystem::create_directories(env.data_folder);
  LanguageState language{"English", std::string(ND_SOURCE_RESOURCES) + "/Languages", 0};
  return Context{env, language, SettingsStore(scratch / "config")};
}

// Points the folders that installing writes to (menu, desktop, /opt) into the scratch folder.
inline void UseScratchInstallFolders(Environment& env, const ScratchFolder& scratch) {
  env.common_programs_folder = scratch / "applications";
  env.common_desktop_folder = scratch / "Desktop";
  env.program_files_folder = scratch / "opt";
  env.temp_folder = scratch / "tmp";
  env.executable_name = "nulldrift";
  for (const std::string& folder :
       {env.common_programs_folder, env.common_desktop_folder, env.temp_folder}) {
    std::filesystem::create_directories(folder);
  }
}

struct JobRig {
  explicit JobRig(uint64_t capacity)
      : context(ScratchContext(scratch)), volume(capacity, context.env.data_folder) {
    host.Attach(form);
    host.SetNow(std::chrono::system_clock::from_time_t(1'800'000'000));
  }

  engine::JobEnvironment Environment() {
    std::mt19937 generator(7);
    return engine::JobEnvironment{
        context,
        host,
        form.Page(),
        state,
        volume,
        [generator]() mutable { return std::uniform_real_distribution<double>(0, 1)(generator); },
        {},
        nullptr,
        {},
        {}};
  }

  // Runs a whole job over `letters` in cleaning `way`.
  void Run(const std::string& letters, int way, int ntfs_mode = 1) {
    engine::JobEnvironment job = Environment();
    job.overrides.clean_way = static_cast<engine::CleanWay>(way);
    job.overrides.ntfs_mode = static_cast<engine::NtfsMode>(ntfs_mode);
    job.overrides.prevent_standby = false;
    form.Command4.OnClick = [this] { Stop(); };
    engine::StartCleaningJob(job, letters);
  }

  void Stop() {
    engine::JobEnvironment job = Environment();
    engine::Command4_Click(job);
  }

  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::string text = ReadFile(context.env.data_folder + "/log.txt");
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find("\r\n", at);
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }

  std::vector<std::string> StepPictures() const {
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i) names.push_back(form.StepImage[i].PictureName());
    return names;
  }

  ScratchFolder scratch;
  Context context;
  FakeVolumeAccess volume;
  ui::ScriptedHost host;
  engine::WorkingPageForm form;
  engine::JobState state;
};

}  // namespace nd::test
