// The facts every process establishes once at start-up: its folders, the system version, the
// user's rights and the program's version text; plus the existence tests and path forms that
// every subsystem uses. None of these throws or reports a failure.
#pragma once

#include <string>

namespace nd {

struct ProgramVersion {
  int major = 3;
  int minor = 0;
};

inline constexpr ProgramVersion kProgramVersion{3, 0};

// The product's name: window and message titles, and the names of its shortcuts and folders
// ("Nulldrift 3").
inline constexpr const char* kProductName = "Nulldrift";

struct Environment {
  std::string app_data_folder;
  std::string common_programs_folder;
  std::string common_desktop_folder;
  std::string windows_folder;  // no counterpart on Linux: empty
  std::string program_files_folder;
  std::string system_drive_letter;  // the letter of the volume that holds app_data_folder
  std::string data_folder;          // app_data_folder + "/NDRF" + major version
  int os_version = 0;
  bool is_administrator = false;
  std::string temp_folder;
  std::string version_text;  // major "." two-digit minor, e.g. "3.05"
  std::string program_folder;
  std::string executable_name;  // the running executable's file name ("nulldrift")
};

// Probes the machine; creates the data folder when it is missing.
Environment ProbeEnvironment(ProgramVersion version = kProgramVersion);

std::string VersionText(ProgramVersion version);
std::string DataFolderName(ProgramVersion version);  // "NDRF3"

// The temporary folder from the path the system reports: the system volume's root when that is
// empty, in its long form, without a final separator.
std::string TempFolderFrom(const std::string& reported);

bool FileExists(const std::string& path);    // a file (not a folder) is there
bool FolderExists(const std::string& path);  // a folder (not a file) is there
// There are no short names here: the path itself when it exists, else the empty text.
std::string ShortPathOf(const std::string& path);
// The canonical path when it exists, else the path unchanged.
std::string LongPathOf(const std::string& path);

}  // namespace nd
