// Launchers and the uninstall entry as freedesktop desktop entries; the folders and files are
// opened to every reader like the menus they belong to.
#include <string_view>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell_links.h"

namespace nd::platform {
namespace {

constexpr std::string_view kDesktopSuffix = ".desktop";
// Launchers must be executable before a desktop starts them.
constexpr unsigned kEntryMode = 0755;
constexpr unsigned kFolderMode = 0755;
constexpr unsigned kPlainFileMode = 0644;

// The escapes of a desktop entry's string values. They apply to the whole value, after the
// Exec quoting, so a backslash inside a quoted argument ends up as four.
std::string EscapeValue(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case ' ':
        out += i == 0 ? "\\s" : " ";
        break;  // a leading blank would be trimmed
      default:
        out += c;
    }
  }
  return out;
}

// Removes the old file first, so that a read-only file or a link left in its place is replaced
// rather than written through.
bool ReplaceFile(const std::string& path, const std::string& contents, unsigned mode) {
  if (path.empty()) return false;
  RemoveFile(path);
  return WriteWholeFile(path, contents) && SetPermissions(path, mode);
}

std::string ApplicationEntry(const std::string& name, const std::string& exec,
                             const std::string& working_directory, const std::string& comment,
                             const std::string& icon) {
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + EscapeValue(name) + "\n";
  text += "Exec=" + EscapeValue(exec) + "\n";
  text += "Path=" + EscapeValue(working_directory) + "\n";
  if (!comment.empty()) text += "Comment=" + EscapeValue(comment) + "\n";
  if (!icon.empty()) text += "Icon=" + EscapeValue(icon) + "\n";
  text += "Terminal=false\n";
  return text;
}

std::string NameOfEntry(const std::string& link_path) {
  std::string name = FileNameOf(link_path);
  if (name.ends_with(kDesktopSuffix)) name.resize(name.size() - kDesktopSuffix.size());
  return name;
}

}  // namespace

std::string ShellLinkSuffix() { return std::string(kDesktopSuffix); }

bool WriteShellLink(const std::string& path, const ShellLink& link) {
  std::string exec = QuoteShellLinkArgument(link.target);
  if (!link.arguments.empty()) exec += " " + link.arguments;
  return ReplaceFile(
      path,
      ApplicationEntry(NameOfEntry(path), exec, link.working_folder, link.description, link.icon),
      kEntryMode);
}

std::string QuoteShellLinkArgument(const std::string& text) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#`()";
  constexpr std::string_view kEscapedInQuotes = "\"`$\\";
  const bool quote = text.empty() || text.find_first_of(kReserved) != std::string::npos;
  std::string out = quote ? "\"" : "";
  for (char c : text) {
    if (c == '%') {
      out += "%%";  // a single one would start a field code
      continue;
    }
    if (quote && kEscapedInQuotes.find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

bool ReplaceMenuFile(const std::string& path, const std::string& contents) {
  return ReplaceFile(path, contents, kPlainFileMode);
}

bool MakeMenuFolder(const std::string& folder) {
  if (folder.empty()) return false;
  if (IsDirectory(folder)) return true;
  return MakeDirectories(folder) && SetPermissions(folder, kFolderMode);
}

bool WriteMenuWebLink(const std::string& folder, const std::string& name,
                      const std::string& address) {
  if (folder.empty()) return false;
  const std::string path = JoinPath(folder, name + std::string(kDesktopSuffix));
  return ReplaceFile(path,
                     "[Desktop Entry]\nType=Link\nName=" + EscapeValue(NameOfEntry(path)) +
                         "\nURL=" + EscapeValue(address) + "\n",
                     kEntryMode);
}

std::string UninstallEntryPlace(const UninstallEntry& entry) {
  if (entry.shortcut_folder.empty()) return {};
  return JoinPath(entry.shortcut_folder,
                  entry.product + " uninstall" + std::string(kDesktopSuffix));
}

bool WriteUninstallEntry(const UninstallEntry& entry) {
  return ReplaceFile(
      UninstallEntryPlace(entry),
      ApplicationEntry(entry.display_name, QuoteShellLinkArgument(entry.program) + " uninstall",
                       entry.install_folder, "", ""),
      kEntryMode);
}

// The settings live in files here, which the uninstaller removes itself.
std::string RemoveUninstallEntry(const UninstallEntry& entry, const std::string& /*settings_key*/,
                                 const std::string& /*script_folder*/) {
  const std::string path = UninstallEntryPlace(entry);
  if (!path.empty()) RemoveFile(path);
  return {};
}

}  // namespace nd::platform
