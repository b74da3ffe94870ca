#include "platform/windows/mount_list.h"

#include <algorithm>

namespace nd::platform::win {

std::string DriveRoot(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 3) return {};
  char letter = text[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'Z') return {};
  if (text.size() >= 2 && text[1] != ':') return {};
  if (text.size() == 3 && text[2] != '\\' && text[2] != '/') return {};
  return std::string(1, letter) + ":\\";
}

std::optional<std::vector<std::string>> ParseDriveList(std::string_view value) {
  if (value.empty()) return std::nullopt;
  std::vector<std::string> roots;
  while (!value.empty()) {
    size_t end = value.find(';');
    std::string root = DriveRoot(value.substr(0, end));
    if (!root.empty() && std::find(roots.begin(), roots.end(), root) == roots.end()) {
      roots.push_back(root);
    }
    if (end == std::string_view::npos) break;
    value.remove_prefix(end + 1);
  }
  return roots;
}

}  // namespace nd::platform::win
