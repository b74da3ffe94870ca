// In the registry every value is one REG_SZ of its section's key. The settings files are INI
// text: "[section]" lines and "key=value" lines, CR LF ends. Names and values are written
// exactly; bytes that would break the line structure are escaped as \\, \r, \n and \xHH so
// that any text round-trips.
#include "system/settings_store.h"

#include <map>

#include "platform/files.h"
#include "platform/os_environment.h"
#include "platform/paths.h"
#include "platform/registry_backend.h"

namespace nd {
namespace {

using Section = std::map<std::string, std::string, std::less<>>;
using Sections = std::map<std::string, Section, std::less<>>;

enum class Part { kSection, kKey, kValue };

bool NeedsEscape(unsigned char c, Part part, bool first) {
  if (c < 0x20 || c == 0x7F || c == '\\') return true;
  if (part == Part::kKey) return c == '=' || (first && c == '[');
  if (part == Part::kSection) return c == ']';
  return false;
}

std::string Escape(std::string_view text, Part part) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!NeedsEscape(c, part, i == 0)) {
      out.push_back(static_cast<char>(c));
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// An escape that is not one of ours is kept as it stands: a hand-edited file loses nothing.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 >= text.size()) {
      out.push_back(c);
      continue;
    }
    char next = text[i + 1];
    if (next == '\\' || next == 'r' || next == 'n') {
      out.push_back(next == '\\' ? '\\' : next == 'r' ? '\r' : '\n');
      ++i;
    } else if (next == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3])));
      i += 3;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Reads what can be read. Lines that are neither a section header nor an entry are skipped;
// entries under a broken header ("[name" without its "]") are skipped too rather than being
// credited to the section before it.
Sections Parse(std::string_view text) {
  Sections sections;
  Section* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '[') {
      current = nullptr;
      if (line.size() >= 2 && line.back() == ']') {
        current = &sections[Unescape(line.substr(1, line.size() - 2))];
      }
      continue;
    }
    size_t eq = line.find('=');
    if (current == nullptr || eq == std::string_view::npos) continue;
    (*current)[Unescape(line.substr(0, eq))] = Unescape(line.substr(eq + 1));
  }
  return sections;
}

std::string Serialise(const Sections& sections) {
  std::string out;
  for (const auto& [name, entries] : sections) {
    out += "[" + Escape(name, Part::kSection) + "]\r\n";
    for (const auto& [key, value] : entries) {
      out += Escape(key, Part::kKey) + "=" + Escape(value, Part::kValue) + "\r\n";
    }
  }
  return out;
}

// Application names become file names: only plain names are accepted.
bool IsPlainName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

SettingsStore::SettingsStore(std::string folder) : folder_(std::move(folder)) {}

SettingsStore SettingsStore::InRegistry() {
  SettingsStore store{std::string()};
  store.in_registry_ = true;
  return store;
}

SettingsStore SettingsStore::ForCurrentUser() {
  if (platform::HasSettingsRegistry()) return InRegistry();
  std::string config = platform::ConfigHome();
  if (config.empty()) return SettingsStore(std::string());
  return SettingsStore(platform::JoinPath(config, std::string(kStoreRoot)));
}

std::string SettingsStore::FileOf(std::string_view app) const {
  if (folder_.empty() || !IsPlainName(app)) return {};
  return platform::JoinPath(folder_, std::string(app) + ".ini");
}

std::string SettingsStore::RegistryKeyOf(std::string_view app) const {
  return in_registry_ ? platform::SettingsRegistryKey(app) : std::string();
}

std::string SettingsStore::Get(std::string_view app, std::string_view section,
                               std::string_view key) const {
  if (in_registry_) return platform::ReadSettingsValue(app, section, key);
  std::string file = FileOf(app);
  std::string contents;
  if (file.empty() || !platform::ReadFileBytes(file, contents)) return {};
  Sections sections = Parse(contents);
  auto s = sections.find(section);
  if (s == sections.end()) return {};
  auto k = s->second.find(key);
  return k == s->second.end() ? std::string() : k->second;
}

bool SettingsStore::Save(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view value) {
  if (in_registry_) return platform::WriteSettingsValue(app, section, key, value);
  std::string file = FileOf(app);
  if (file.empty() || !platform::MakeDirectories(folder_)) return false;
  // Second copies of the program may save at the same moment; without the lock one of two
  // concurrent read-modify-write cycles would drop the other's key.
  platform::FolderLock lock(folder_);
  if (lock.Held()) platform::RemoveStaleTempFiles(file);
  std::string contents;
  platform::ReadFileBytes(file, contents);
  Sections sections = Parse(contents);
  sections[std::string(section)][std::string(key)] = std::string(value);
  return platform::ReplaceFileAtomically(file, Serialise(sections));
}

}  // namespace nd
