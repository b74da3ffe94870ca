// The main window under the scripted host: scratch folders, English texts, the fake volume D,
// and recorded sounds and power-off requests.
#pragma once

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "shell/start_window.h"
#include "shell/startup.h"
#include "system/settings_keys.h"
#include "wizard/start_form.h"

namespace nd::test {

inline constexpr uint64_t kWizardVolumeBytes = 40ull * 1024 * 1024;

struct WizardRig {
  WizardRig()
      : context(ScratchContext(scratch)), volume(kWizardVolumeBytes, context.env.data_folder) {
    context.env.program_folder = scratch / "program";
    UseScratchInstallFolders(context.env, scratch);
    std::filesystem::create_directories(context.env.program_folder);
    WriteFile(context.env.program_folder + "/program-back.jpg", "picture");
    CopyFolder(context.language.languages_folder, context.env.program_folder + "/Languages");
    // A stored language: the locale of the machine running the tests must not choose one.
    Save(context.settings, settings::kLanguage, "English");
    host.SetNow(std::chrono::system_clock::from_time_t(1'800'000'000));
  }

  // Creates the window and runs its start-up; `loaded` says whether it may be shown.
  wizard::Start& Open() {
    std::mt19937 generator(++opens);  // every start salts afresh
    wizard::StartServices services{
        context,
        host,
        volume,
        [generator]() mutable { return std::uniform_real_distribution<double>(0, 1)(generator); },
        standby_available ? &power_hook : nullptr,
        [this](const std::string& path) { sounds.push_back(path); },
        [this] { ++power_offs; },
        [this](const std::string&) { return background_decodes; },
        command_line,
        [this](const std::string& mode) { second_windows.push_back(mode); },
        [this](const std::string& mode) {
          second_copies.push_back(mode);
          return second_copy_starts;
        }};
    services.paging_file = paging_file;
    window = std::make_unique<wizard::Start>(std::move(services));
    host.Attach(*window);
    shell::WireStart(*window);
    loaded = shell::Start_Load(*window);
    return *window;
  }

  // Closes the window and opens a new one on the same settings: a restart of the program.
  wizard::Start& Restart() {
    window.reset();
    return Open();
  }

  std::string Stored(const SettingKey& key) const { return Get(context.settings, key); }

  ScratchFolder scratch;
  Context context;
  FakeVolumeAccess volume;
  ui::ScriptedHost host;
  std::vector<std::string> sounds;
  int power_offs = 0;
  bool background_decodes = true;
  bool standby_available = false;
  struct NoBlocker : platform::SleepBlocker {
    bool Available() override { return true; }
    bool IsOnMainsPower() override { return true; }
    bool Block() override { return true; }
    void Release() override {}
    bool Blocking() const override { return false; }
  } blocker;
  engine::PowerHook power_hook{blocker};
  std::unique_ptr<wizard::Start> window;
  bool loaded = false;
  unsigned opens = 0;
  std::string command_line;
  std::vector<std::string> second_windows;  // modes the second window was opened for
  std::vector<std::string> second_copies;   // modes other copies were started with
  bool second_copy_starts = true;
  // None by default, so that no test reaches the machine's policy.
  platform::PagingFilePolicy* paging_file = nullptr;
};

// The paging-file policy as a value in memory, with the trace file's content at each write.
struct FakePagingFilePolicy : platform::PagingFilePolicy {
  explicit FakePagingFilePolicy(std::string trace_file) : trace_file(std::move(trace_file)) {}
  std::optional<uint32_t> Read() override { return value; }
  bool Write(bool clear) override {
    traces_at_write.push_back(ReadFile(trace_file));
    if (refuse_writes) return false;
    value = clear ? 1 : 0;
    return true;
  }
  std::string trace_file;
  std::optional<uint32_t> value;
  bool refuse_writes = false;
  std::vector<std::string> traces_at_write;
};

}  // namespace nd::test
