// Linux answers for the machine and user facts: XDG folders, /proc/self/exe, uname, euid.
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "platform/os_environment.h"

namespace nd::platform {
namespace {

std::string EnvValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = EnvValue("HOME");
  if (!home.empty() && home.front() == '/') return home;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return {};
}

// An XDG variable counts only when it holds an absolute path.
std::string XdgFolder(const char* variable, const char* fallback_below_home) {
  std::string value = EnvValue(variable);
  if (!value.empty() && value.front() == '/') return value;
  std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/" + fallback_below_home;
}

// The desktop folder as xdg-user-dirs records it in user-dirs.dirs, e.g.
// XDG_DESKTOP_DIR="$HOME/Schreibtisch"; ~/Desktop when the file does not name one.
std::string DesktopFolder() {
  std::string home = HomeFolder();
  std::ifstream in(ConfigHome() + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) value.replace(0, 5, home);
    if (!value.empty() && value.front() == '/') return value;
  }
  return home.empty() ? std::string() : home + "/Desktop";
}

}  // namespace

std::string GetSpecialFolder(SpecialFolder folder) {
  switch (folder) {
    case SpecialFolder::kAppData: {
      std::string path = XdgFolder("XDG_DATA_HOME", ".local/share");
      if (!path.empty()) MakeDirectories(path);
      return path;
    }
    case SpecialFolder::kCommonPrograms:
      if (IsAdministrator()) return "/usr/share/applications";
      {
        std::string data = XdgFolder("XDG_DATA_HOME", ".local/share");
        return data.empty() ? std::string() : data + "/applications";
      }
    case SpecialFolder::kCommonDesktop:
      return DesktopFolder();
    case SpecialFolder::kWindows:
      return {};
    case SpecialFolder::kProgramFiles:
      return "/opt";
  }
  return {};
}

std::string TempPath() {
  std::string value = EnvValue("TMPDIR");
  return value.empty() ? std::string("/tmp") : value;
}

// Letters are ours to give on Linux: the volume with the user's data is always "C".
std::string SystemDriveLetter() { return "C"; }

std::string SystemVolumeRoot() { return "/"; }

std::string ConfigHome() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

int OsMajorVersion() {
  utsname info{};
  if (::uname(&info) != 0) return 0;
  return std::atoi(info.release);
}

bool IsAdministrator() { return ::geteuid() == 0; }

}  // namespace nd::platform
