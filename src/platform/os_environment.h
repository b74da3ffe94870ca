// Facts about the machine and the user that only the operating system knows: the user's
// folders, the program's own folder, the system version and the user's rights.
#pragma once

#include <string>

namespace nd::platform {

// The folders the program places its files in. Each answers the empty text when the
// operating system cannot name it.
enum class SpecialFolder {
  kAppData,         // per-user application data; created when missing
  kCommonPrograms,  // where menu entries for the program go
  kCommonDesktop,   // the desktop folder
  kWindows,         // the system's own folder (none on Linux)
  kProgramFiles,    // the parent of the install folder
};

std::string GetSpecialFolder(SpecialFolder folder);

// The drive letter of the system volume, the one that holds the application-data folder.
std::string SystemDriveLetter();

// The temporary folder as the operating system reports it (may end with a separator).
std::string TempPath();
// The root of the system volume: the fallback for a temporary folder that cannot be named.
std::string SystemVolumeRoot();
// The per-user folder for configuration files.
std::string ConfigHome();
// The folder that holds the running executable.
std::string ProgramFolder();
// The operating system's major version number (display only); 0 when unknown.
int OsMajorVersion();
// True when the program runs with full rights over the machine.
bool IsAdministrator();

}  // namespace nd::platform
