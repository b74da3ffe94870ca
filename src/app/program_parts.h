// What the desktop program is made of whatever toolkit shows it: the process-wide context, the
// volumes, the stand-by lock, the two windows' models with their services, and the options that
// dress them. Each OS's main adds the toolkit binding, the host and the message loop.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/standby.h"
#include "engine/volume_access.h"
#include "localisation/context.h"
#include "online/second_form.h"
#include "platform/power.h"
#include "ui/host.h"
#include "ui/window_options.h"
#include "wizard/start_form.h"

namespace nd::app {

// For translators: with NULLDRIFT_FIT_LOG naming a file, every caption that needs more room
// than its control has is appended to it as "<window> <control>: <caption>".
ui::OverflowReport FitLog(const std::string& window);

class ProgramParts {
 public:
  // Probes the environment and opens the settings; `host` must outlive the parts.
  explicit ProgramParts(ui::Host& host);
  ProgramParts(const ProgramParts&) = delete;
  ProgramParts& operator=(const ProgramParts&) = delete;

  struct StartHooks {
    std::string command_line;
    std::function<bool(const std::string& path)> background_loaded;
    std::function<void(const std::string& mode)> open_second_window;
  };
  // The main window's model, wired to its handlers.
  std::unique_ptr<wizard::Start> MakeStart(StartHooks hooks);
  // The second window's model, wired; `standard_display_scale` tells a 96-DPI display.
  std::unique_ptr<online::SecondForm> MakeSecond(std::function<bool()> standard_display_scale);

  ui::WindowOptions StartOptions() const;
  ui::WindowOptions SecondOptions() const;

  Context& context() { return *context_; }

 private:
  ui::PictureResolver Pictures() const;
  // Whether the window should refuse a suspend now: the job holds the hook, and on mains.
  bool RefuseSuspend() const;

  ui::Host& host_;
  std::unique_ptr<Context> context_;
  std::unique_ptr<engine::VolumeAccess> volumes_;
  std::unique_ptr<platform::SleepBlocker> blocker_;
  std::unique_ptr<engine::PowerHook> power_hook_;
};

}  // namespace nd::app
