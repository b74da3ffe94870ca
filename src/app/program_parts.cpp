#include "app/program_parts.h"

#include <cstdlib>
#include <fstream>
#include <utility>

#include "online/download.h"
#include "online/second_window.h"
#include "platform/paths.h"
#include "platform/sound.h"
#include "shell/second_copies.h"
#include "shell/start_window.h"
#include "system/environment_probe.h"

namespace nd::app {

ui::OverflowReport FitLog(const std::string& window) {
  const char* path = std::getenv("NULLDRIFT_FIT_LOG");
  if (!path || !*path) return {};
  return [file = std::string(path), window](const std::string& control, const std::string& text) {
    std::ofstream(file, std::ios::app) << window << ' ' << control << ": " << text << '\n';
  };
}

ProgramParts::ProgramParts(ui::Host& host)
    : host_(host),
      context_(std::make_unique<Context>(
          Context{ProbeEnvironment(), {}, SettingsStore::ForCurrentUser()})),
      volumes_(engine::MakeSystemVolumeAccess()),
      blocker_(platform::MakeSystemSleepBlocker()) {
  if (blocker_->Available()) power_hook_ = std::make_unique<engine::PowerHook>(*blocker_);
}

std::unique_ptr<wizard::Start> ProgramParts::MakeStart(StartHooks hooks) {
  wizard::StartServices services{
      *context_,
      host_,
      *volumes_,
      ClockSeededRandom(),
      power_hook_.get(),
      [](const std::string& path) { platform::PlaySoundFile(path); },
      [] { platform::PowerOff(); },
      std::move(hooks.background_loaded),
      std::move(hooks.command_line),
      std::move(hooks.open_second_window),
      [this](const std::string& mode) { return shell::StartSecondCopy(context_->env, mode); }};
  auto window = std::make_unique<wizard::Start>(std::move(services));
  shell::WireStart(*window);
  return window;
}

std::unique_ptr<online::SecondForm> ProgramParts::MakeSecond(
    std::function<bool()> standard_display_scale) {
  online::SecondServices services{
      *context_, host_, std::move(standard_display_scale),
      [this](const std::string& url, const std::string& path, size_t length) {
        return online::DownloadToFile(host_, url, path, length);
      }};
  auto second = std::make_unique<online::SecondForm>(std::move(services));
  online::WireSecondForm(*second);
  return second;
}

// Status pictures and icons by name, from the program folder; a full path (a flag) as it is.
ui::PictureResolver ProgramParts::Pictures() const {
  const std::string folder = context_->env.program_folder;
  return [folder](const std::string& name) {
    const std::string path =
        platform::IsAbsolutePath(name)
            ? name
            : platform::JoinPath(platform::JoinPath(folder, "pictures"), name + ".png");
    return name.empty() || !FileExists(path) ? std::string() : path;
  };
}

bool ProgramParts::RefuseSuspend() const {
  return power_hook_ && power_hook_->Hooked() && blocker_->IsOnMainsPower();
}

ui::WindowOptions ProgramParts::StartOptions() const {
  ui::WindowOptions options;
  options.client_width_twips = wizard::kStartWidth;
  options.client_height_twips = wizard::kStartHeight;
  options.background_file = platform::JoinPath(context_->env.program_folder, "program-back.jpg");
  options.pictures = Pictures();
  for (const std::string& name : wizard::HeadingLabels()) options.heading_labels.insert(name);
  for (const std::string& name : wizard::LinkLabels()) options.link_labels.insert(name);
  options.overflow = FitLog("wizard");
  options.refuse_suspend = [this] { return RefuseSuspend(); };
  return options;
}

ui::WindowOptions ProgramParts::SecondOptions() const {
  ui::WindowOptions options;
  options.client_width_twips = online::kSecondWidth;
  options.client_height_twips = online::kSecondHeight;
  // The wizard's background, where it can be read; the plain window colour otherwise.
  options.background_file = platform::JoinPath(context_->env.program_folder, "program-back.jpg");
  options.pictures = Pictures();
  for (const std::string& name : online::SecondHeadingLabels()) {
    options.heading_labels.insert(name);
  }
  options.overflow = FitLog("second");
  return options;
}

}  // namespace nd::app
