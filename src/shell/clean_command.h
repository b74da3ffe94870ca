// The headless runner's command line: which volumes, which cleaning way, NTFS mode and method,
// and how the run reports (text, JSON, only the results), or a listing of the volumes.
#pragma once

#include <string>
#include <vector>

#include "platform/os_volumes.h"

namespace nd {

struct CleanCommand {
  std::vector<std::string> volumes;  // letters or mount points, as given
  int clean_way = 1;
  int ntfs_mode = 1;
  int method = 2;  // 1-5 as the options page numbers them; spaces by default
  bool empty_trash = false;
  bool prevent_standby = true;
  bool help = false;
  bool version = false;
  bool list = false;   // the volumes instead of a job
  bool json = false;   // one JSON document instead of the text
  bool quiet = false;  // only the result rows
  std::string error;   // set when the command line is not usable
};

CleanCommand ParseCleanCommand(const std::vector<std::string>& args);

// The selected letters in the order given, each volume once. Empty with `error` set when one
// of them is not a usable volume.
std::string ResolveVolumes(const std::vector<std::string>& wanted,
                           const std::vector<VolumeInfo>& volumes, std::string& error);

std::string CleanHelpText();

}  // namespace nd
