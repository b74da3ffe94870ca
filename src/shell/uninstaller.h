// Removing the program: two questions, the settings if the user lets them go, the uninstall
// entry, and a detached script that deletes the executable and the folders once this
// process has ended (a running program cannot delete everything of itself).
#pragma once

#include <functional>
#include <string>

#include "localisation/context.h"
#include "platform/self_removal.h"
#include "ui/host.h"

namespace nd::shell {

struct UninstallServices {
  std::function<void()> open_uninstall_page;
  std::function<bool(const std::string& script_path)> launch_script;
};

// The plan for this installation (script folder and settings choice still to be filled in).
platform::RemovalPlan PlanUninstall(const Environment& env, int process_id);

// Asks, removes what can go now and hands the rest to the script. Closes no window and does not
// end the process: the caller does both afterwards, whatever happened here.
void RunUninstaller(Context& context, ui::Host& host, const UninstallServices& services);

}  // namespace nd::shell
