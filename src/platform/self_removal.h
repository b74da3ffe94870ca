// Removing an installation once the program has ended, since a running program cannot delete
// all of itself: a script in the platform's own script language, written into a private folder
// and started so that it outlives the program.
#pragma once

#include <string>

namespace nd::platform {

// What the script removes. Empty paths are left out of the script.
struct RemovalPlan {
  std::string product;         // "Nulldrift 3", named in the script's first comment
  std::string executable;      // the installed executable's full (canonical) path
  std::string install_folder;  // the program's folder below the Program Files folder
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

// The script's file name inside its private folder ("uninstall.sh").
std::string RemovalScriptName();

// The script that carries out `plan`.
std::string RemovalScript(const RemovalPlan& plan);

// Writes the script for `plan` to `path` so that only the user may read and run it; false on
// failure.
bool WriteRemovalScript(const std::string& path, const RemovalPlan& plan);

// Runs the script in a session of its own, so that it outlives this process.
bool StartRemovalScript(const std::string& script_path);

}  // namespace nd::platform
