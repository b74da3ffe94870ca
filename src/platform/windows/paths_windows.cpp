// Paths of Windows: "\" separates the parts ("/" is read as one too), a drive letter and a
// colon or a "\\server\share" prefix start an absolute path, and a file name holds none of
// \ / : * ? " < > | nor a control character.
#include <string_view>

#include "platform/paths.h"

namespace nd::platform {
namespace {

constexpr char kSeparator = '\\';
constexpr std::string_view kSeparators = "\\/";

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "D:" at the start of `path`.
bool HasDrive(const std::string& path) {
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}

}  // namespace

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsPathSeparator(folder.back())) return folder + name;
  return folder + kSeparator + name;
}

std::string FileNameOf(const std::string& path) {
  const size_t last = path.find_last_of(kSeparators);
  if (last != std::string::npos) return path.substr(last + 1);
  return HasDrive(path) ? path.substr(2) : path;
}

bool IsAbsolutePath(const std::string& path) {
  if (HasDrive(path)) return path.size() >= 3 && IsPathSeparator(path[2]);
  return path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
}

std::string WithoutFinalSeparator(std::string path) {
  if (path.size() < 2 || !IsPathSeparator(path.back())) return path;
  // "D:\" is a root; "\\" alone starts a server name.
  if (path.size() == 3 && HasDrive(path)) return path;
  if (path.size() == 2 && IsPathSeparator(path[0])) return path;
  path.pop_back();
  return path;
}

std::string FileNameFromText(std::string text) {
  constexpr std::string_view kReserved = "\\/:*?\"<>|";
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || kReserved.find(c) != std::string_view::npos) {
      c = '-';
    }
  }
  return text;
}

}  // namespace nd::platform
