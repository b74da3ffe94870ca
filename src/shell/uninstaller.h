// Removing the program: two questions, the settings if the user lets them go, the uninstall
// entry, and a detached shell script that deletes the executable and the folders once this
// process has ended (a running program cannot delete everything of itself).
#pragma once

#include <functional>
#include <string>

#include "localisation/context.h"
#include "ui/host.h"

namespace nd::shell {

struct UninstallServices {
  std::function<void()> open_uninstall_page;
  std::function<bool(const std::string& script_path)> launch_script;
};

// What the clean-up script removes. Empty paths are left out of the script.
struct UninstallPlan {
  std::string executable;      // the installed executable's full (canonical) path
  std::string install_folder;  // program_files_folder + "/Nulldrift 3"
  std::string data_folder;     // removed only with remove_settings
  std::string desktop_launcher;
  std::string shortcut_folder;
  std::string script_folder;  // the script's private folder, removed last
  int process_id = 0;         // the uninstalling process, waited for
  bool remove_settings = false;
  // The executable is tried this often, `round_pause` seconds apart, before the script gives up
  // on it and removes the rest anyway.
  int rounds = 20;
  std::string round_pause = "0.5";
};

// The plan for this installation (script folder and settings choice still to be filled in).
UninstallPlan PlanUninstall(const Environment& env, int process_id);

// `text` as one single-quoted shell word.
std::string ShellQuote(const std::string& text);

// The /bin/sh script that carries out `plan`.
std::string UninstallScript(const UninstallPlan& plan);

// Runs the script in a session of its own, so that it outlives this process.
bool LaunchScriptDetached(const std::string& script_path);

// Asks, removes what can go now and hands the rest to the script. Closes no window and does not
// end the process: the caller does both afterwards, whatever happened here.
void RunUninstaller(Context& context, ui::Host& host, const UninstallServices& services);

}  // namespace nd::shell
