#include "shell/shortcuts.h"

#include <string_view>

#include "localisation/text_lookup.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "system/environment.h"

namespace nd::shell {
namespace {

constexpr std::string_view kDesktopSuffix = ".desktop";
// Menus are read by every user when the folders are the system's; launchers must be executable
// before a desktop starts them.
constexpr unsigned kEntryMode = 0755;
constexpr unsigned kFolderMode = 0755;
constexpr unsigned kPlainFileMode = 0644;

// `name` inside `folder`, or the empty text when the folder is unknown: an empty folder must not
// turn into the current one (or the root), and every writer refuses the empty path.
std::string Under(const std::string& folder, const std::string& name) {
  return folder.empty() ? std::string() : platform::JoinPath(folder, name);
}

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
  platform::RemoveFile(path);
  return platform::WriteWholeFile(path, contents) && platform::SetPermissions(path, mode);
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
  std::string name = platform::FileNameOf(link_path);
  if (name.ends_with(kDesktopSuffix)) name.resize(name.size() - kDesktopSuffix.size());
  return name;
}

// Creates the folder when missing; one we create is opened to every reader like the menus.
bool EnsureFolder(const std::string& folder) {
  if (folder.empty()) return false;
  if (platform::IsDirectory(folder)) return true;
  return platform::MakeDirectories(folder) && platform::SetPermissions(folder, kFolderMode);
}

}  // namespace

std::string ProductFolderName() {
  return std::string(kProductName) + " " + std::to_string(kProgramVersion.major);
}

std::string ShortcutFolder(const Environment& env) {
  return Under(env.common_programs_folder, ProductFolderName());
}

std::string DesktopLauncherPath(const Environment& env) {
  return Under(env.common_desktop_folder, ProductFolderName() + std::string(kDesktopSuffix));
}

std::string InstallFolder(const Environment& env) {
  return Under(env.program_files_folder, ProductFolderName());
}

std::string RegistrationPath(const Environment& env) {
  return Under(ShortcutFolder(env),
               ProductFolderName() + " uninstall" + std::string(kDesktopSuffix));
}

std::string QuoteExecArgument(const std::string& text) {
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

bool CreateShellLink(const std::string& link_path, const std::string& target_path,
                     const std::string& description, const std::string& working_directory,
                     const std::string& arguments, const std::string& icon_location) {
  std::string exec = QuoteExecArgument(target_path);
  if (!arguments.empty()) exec += " " + arguments;
  return ReplaceFile(
      link_path,
      ApplicationEntry(NameOfEntry(link_path), exec, working_directory, description, icon_location),
      kEntryMode);
}

bool WriteInternetShortcut(const std::string& file_path, const std::string& address,
                           const std::string& icon_index, const std::string& icon_file) {
  const std::string text = "[InternetShortcut]\r\nURL=" + address + "\r\nIconIndex=" + icon_index +
                           "\r\nIconFile=" + icon_file + "\r\n";
  return ReplaceFile(file_path, text, kPlainFileMode);
}

void CreateShortcutSet(const Context& context, const std::string& site_address) {
  const Environment& env = context.env;
  const std::string program = Under(env.program_folder, env.executable_name);
  CreateShellLink(DesktopLauncherPath(env), program, "", env.program_folder, "", "");

  const std::string folder = ShortcutFolder(env);
  EnsureFolder(folder);
  // Shortcuts of an earlier installation may carry another language's names.
  for (const std::string& name : platform::ListFileNames(folder)) {
    platform::RemoveFile(platform::JoinPath(folder, name));
  }

  CreateShellLink(Under(folder, ProductFolderName() + std::string(kDesktopSuffix)), program, "",
                  env.program_folder, "", "");

  const std::string site_name =
      platform::FileNameFromText(LookupText(context.language, "SHORTCUTS", "TOSITE"));
  WriteInternetShortcut(Under(folder, site_name + ".url"), site_address, "", "");
  // Menus ignore Internet shortcuts; a Link entry offers the same address to them.
  const std::string link_path = Under(folder, site_name + std::string(kDesktopSuffix));
  ReplaceFile(link_path,
              "[Desktop Entry]\nType=Link\nName=" + EscapeValue(NameOfEntry(link_path)) +
                  "\nURL=" + EscapeValue(site_address) + "\n",
              kEntryMode);

  const std::string update_name =
      platform::FileNameFromText(LookupText(context.language, "SHORTCUTS", "CHECK-UPD"));
  CreateShellLink(Under(folder, update_name + std::string(kDesktopSuffix)), program, "",
                  env.program_folder, "updates", "");
}

bool RegisterProgram(const Context& context) {
  const Environment& env = context.env;
  const std::string install_folder = InstallFolder(env);
  const std::string program = ShortPathOf(Under(install_folder, env.executable_name));
  if (install_folder.empty() || env.executable_name.empty() || program.empty()) return false;
  if (!EnsureFolder(ShortcutFolder(env))) return false;
  return ReplaceFile(
      RegistrationPath(env),
      ApplicationEntry(std::string(kProductName) + " " + env.version_text,
                       QuoteExecArgument(program) + " uninstall", install_folder, "", ""),
      kEntryMode);
}

void UnregisterProgram(const Context& context) {
  const std::string path = RegistrationPath(context.env);
  if (!path.empty()) platform::RemoveFile(path);
}

}  // namespace nd::shell
