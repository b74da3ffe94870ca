#include "localisation/ini_file.h"

#include "platform/files.h"

namespace nd {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view NextLine(std::string_view& text) {
  size_t end = text.find_first_of("\r\n");
  std::string_view line = text.substr(0, end);
  if (end == std::string_view::npos) {
    text = {};
  } else {
    text.remove_prefix(end + 1);
  }
  return line;
}

std::string Finish(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, kMaxIniValueBytes));
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string FindIniValue(std::string_view contents, std::string_view section,
                         std::string_view key) {
  if (contents.substr(0, kUtf8Bom.size()) == kUtf8Bom) contents.remove_prefix(kUtf8Bom.size());
  const std::string_view wanted_key = Trim(key);
  bool in_section = false;
  bool seen_section = false;
  while (!contents.empty()) {
    std::string_view line = Trim(NextLine(contents));
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      // Only the first section of a name is searched.
      if (in_section) return {};
      size_t close = line.find(']');
      std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? close : close - 1));
      in_section = !seen_section && EqualsIgnoringCase(name, section);
      seen_section = seen_section || in_section;
      continue;
    }
    if (!in_section) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (EqualsIgnoringCase(Trim(line.substr(0, eq)), wanted_key))
      return Finish(line.substr(eq + 1));
  }
  return {};
}

std::string ReadIniValue(std::string_view section, std::string_view key, const std::string& path) {
  std::string contents;
  if (!platform::ReadFileBytes(path, contents)) return {};
  return FindIniValue(contents, section, key);
}

}  // namespace nd
