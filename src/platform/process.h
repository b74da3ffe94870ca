// Starting other programs: second copies of our own executable, the desktop's URL opener and
// the uninstaller's clean-up script. The caller never waits for them.
#pragma once

#include <string>
#include <vector>

namespace nd::platform {

struct SpawnOptions {
  // Look `program` up in PATH when it holds no "/".
  bool search_path = false;
  // Run in a session of its own with no terminal input or output, so that it survives the
  // end of this process and its terminal.
  bool detached = false;
  // Show no window of the program, if it has one (Windows).
  bool hidden = false;
};

// Starts `program` with exactly `args` as its arguments (no shell, no quoting needed) and
// returns without waiting. False when it could not be started (not found, not executable).
bool Spawn(const std::string& program, const std::vector<std::string>& args,
           SpawnOptions options = {});

// The full path of the running executable, or the empty text.
std::string ExecutablePath();
// The process id of this process.
int ProcessId();

}  // namespace nd::platform
