// Paths of a POSIX system: "/" separates the parts, and is the only character besides NUL that
// a file name cannot hold.
#include "platform/paths.h"

namespace nd::platform {
namespace {

constexpr char kSeparator = '/';

}  // namespace

bool IsPathSeparator(char c) { return c == kSeparator; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == kSeparator) return folder + name;
  return folder + kSeparator + name;
}

std::string FileNameOf(const std::string& path) {
  return path.substr(path.find_last_of(kSeparator) + 1);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path.front() == kSeparator; }

std::string WithoutFinalSeparator(std::string path) {
  if (path.size() >= 2 && path.back() == kSeparator) path.pop_back();
  return path;
}

std::string FileNameFromText(std::string text) {
  for (char& c : text) {
    if (c == kSeparator) c = '-';
  }
  return text;
}

}  // namespace nd::platform
