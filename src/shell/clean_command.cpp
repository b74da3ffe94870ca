#include "shell/clean_command.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "engine/usable_volumes.h"
#include "platform/files.h"

namespace nd {
namespace {

const std::map<std::string, int>& MethodNames() {
  static const std::map<std::string, int> names = {
      {"random", 1}, {"spaces", 2}, {"digits", 3}, {"gutmann", 4}, {"dod", 5},
      {"1", 1},      {"2", 2},      {"3", 3},      {"4", 4},       {"5", 5}};
  return names;
}

bool IsLetter(const std::string& text) {
  return (text.size() == 1 || (text.size() == 2 && text[1] == ':')) &&
         std::isalpha(static_cast<unsigned char>(text[0]));
}

// "--way=2" and "--way 2" both work; `value` receives the 2.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::string& value) {
  const std::string& arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
  }
  if (arg.rfind(name + "=", 0) == 0) {
    value = arg.substr(name.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

CleanCommand ParseCleanCommand(const std::vector<std::string>& args) {
  CleanCommand command;
  for (size_t i = 0; i < args.size() && command.error.empty(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "-h" || arg == "--help") {
      command.help = true;
    } else if (arg == "--version") {
      command.version = true;
    } else if (arg == "--list") {
      command.list = true;
    } else if (arg == "--json") {
      command.json = true;
    } else if (arg == "-q" || arg == "--quiet") {
      command.quiet = true;
    } else if (arg == "--empty-trash") {
      command.empty_trash = true;
    } else if (arg == "--allow-standby") {
      command.prevent_standby = false;
    } else if (TakeValue(args, i, "--way", value)) {
      if (value != "1" && value != "2") command.error = "--way takes 1 or 2";
      command.clean_way = value == "2" ? 2 : 1;
    } else if (TakeValue(args, i, "--ntfs-mode", value)) {
      if (value != "1" && value != "2" && value != "3")
        command.error = "--ntfs-mode takes 1, 2 or 3";
      command.ntfs_mode = value == "3" ? 3 : value == "2" ? 2 : 1;
    } else if (TakeValue(args, i, "--method", value)) {
      auto it = MethodNames().find(value);
      if (it == MethodNames().end()) {
        command.error = "unknown method: " + value;
      } else {
        command.method = it->second;
      }
    } else if (arg == "--way" || arg == "--ntfs-mode" || arg == "--method") {
      command.error = arg + " needs a value";
    } else if (!arg.empty() && arg[0] == '-') {
      command.error = "unknown option: " + arg;
    } else {
      command.volumes.push_back(arg);
    }
  }
  if (!command.error.empty() || command.help || command.version) return command;
  if (command.list && !command.volumes.empty()) {
    command.error = "--list takes no volume";
  } else if (!command.list && command.volumes.empty()) {
    command.error = "no volume given";
  }
  return command;
}

std::string ResolveVolumes(const std::vector<std::string>& wanted,
                           const std::vector<VolumeInfo>& volumes, std::string& error) {
  std::string letters;
  for (const std::string& item : wanted) {
    const VolumeInfo* match = nullptr;
    std::string canonical = IsLetter(item) ? std::string() : platform::CanonicalPath(item);
    for (const VolumeInfo& volume : volumes) {
      bool same = IsLetter(item) ? volume.DriveLetter.size() == 1 &&
                                       std::toupper(static_cast<unsigned char>(item[0])) ==
                                           volume.DriveLetter[0]
                                 : !canonical.empty() && canonical == volume.RootPath;
      if (same) match = &volume;
    }
    if (!match || !engine::IsUsableVolume(*match)) {
      error = item + " is not a volume that can be cleaned";
      return {};
    }
    if (letters.find(match->DriveLetter) == std::string::npos) letters += match->DriveLetter;
  }
  return letters;
}

std::string CleanHelpText() {
  const platform::VolumeNamingHelp naming = platform::VolumeNamingHelpText();
  std::string text = R"(Usage: nulldrift-clean [options] VOLUME...
       nulldrift-clean --list [--json]

)";
  text += naming.volumes;
  text += R"(
Options:
  --way 1|2          1: overwrite the file records of deleted files (quick, the default);
                     2: also fill every free byte with filler files, then delete them
  --ntfs-mode 1|2|3  how many small files to write on large volumes: at most
                     20,000 (1, the default), 70,000 (2) or 150,000 (3)
  --method NAME      filler characters: random, spaces (the default), digits,
                     gutmann (as random) or dod (as digits); each writes once
  --empty-trash      empty the Trash on every volume first
  --allow-standby    let the computer suspend during the job (by default suspend is
                     refused while the computer runs on mains power)
  --list             list every volume: letter, mount point, label, file system,
                     type, size, free space, and whether it can be cleaned
  --json             write one JSON document instead of the text: the volumes with
                     --list, else each volume's result, times and byte counts
  -q, --quiet        print only each volume's result
  --version          show the version
  -h, --help         show this text

Ctrl-C stops the job: the running step ends after its current unit of work, and the
files already written are still deleted. A job that was cut off (killed, power lost)
leaves its work folder NDRF_temp behind, which can fill the volume: the next run of
nulldrift-clean on that volume, or the wizard's disk page, deletes it before anything
else. A folder of that name that is a link, belongs to another user or is open to
others is never touched; remove it yourself. Each volume's result is printed as it ends.
The exit status is 0 only when every volume was completed; 1 when one was not;
2 for a wrong command line.

Environment:
)";
  text += naming.mounts;
  return text;
}

}  // namespace nd
