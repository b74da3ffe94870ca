#include "system/environment_probe.h"

#include "platform/files.h"
#include "platform/os_environment.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace nd {

std::string VersionText(ProgramVersion version) {
  std::string minor = std::to_string(version.minor);
  if (version.minor < 10) minor = "0" + minor;
  return std::to_string(version.major) + "." + minor;
}

std::string DataFolderName(ProgramVersion version) {
  return "NDRF" + std::to_string(version.major);
}

bool FileExists(const std::string& path) { return platform::IsRegularFile(path); }

bool FolderExists(const std::string& path) { return platform::IsDirectory(path); }

std::string ShortPathOf(const std::string& path) {
  return platform::PathExists(path) ? path : std::string();
}

std::string LongPathOf(const std::string& path) {
  std::string canonical = platform::CanonicalPath(path);
  return canonical.empty() ? path : canonical;
}

std::string TempFolderFrom(const std::string& reported) {
  std::string folder = reported.empty() ? platform::SystemVolumeRoot() : reported;
  return platform::WithoutFinalSeparator(LongPathOf(folder));
}

Environment ProbeEnvironment(ProgramVersion version) {
  using platform::SpecialFolder;
  Environment env;
  env.app_data_folder = platform::GetSpecialFolder(SpecialFolder::kAppData);
  env.common_programs_folder = platform::GetSpecialFolder(SpecialFolder::kCommonPrograms);
  env.common_desktop_folder = platform::GetSpecialFolder(SpecialFolder::kCommonDesktop);
  env.windows_folder = platform::GetSpecialFolder(SpecialFolder::kWindows);
  env.program_files_folder = platform::GetSpecialFolder(SpecialFolder::kProgramFiles);
  env.system_drive_letter = platform::SystemDriveLetter();

  // Without an application-data folder there is no place for the data folder; leaving it
  // empty makes later file operations fail in their own places instead of writing to "/".
  if (!env.app_data_folder.empty()) {
    env.data_folder = platform::JoinPath(env.app_data_folder, DataFolderName(version));
    if (!FolderExists(env.data_folder)) platform::MakeDirectory(env.data_folder);
  }

  env.os_version = platform::OsMajorVersion();
  env.is_administrator = platform::IsAdministrator();
  env.temp_folder = TempFolderFrom(platform::TempPath());
  env.version_text = VersionText(version);
  env.program_folder = platform::ProgramFolder();
  env.executable_name = platform::FileNameOf(platform::ExecutablePath());
  return env;
}

}  // namespace nd
