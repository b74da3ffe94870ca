#include "shell/shortcuts.h"

#include "localisation/text_lookup.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell_links.h"
#include "system/environment_probe.h"

namespace nd::shell {
namespace {

// `name` inside `folder`, or the empty text when the folder is unknown: an empty folder must not
// turn into the current one (or the root), and every writer refuses the empty path.
std::string Under(const std::string& folder, const std::string& name) {
  return folder.empty() ? std::string() : platform::JoinPath(folder, name);
}

platform::UninstallEntry EntryOf(const Environment& env) {
  const std::string install_folder = InstallFolder(env);
  return {ShortcutFolder(env), ProductFolderName(),
          std::string(kProductName) + " " + env.version_text,
          ShortPathOf(Under(install_folder, env.executable_name)), install_folder};
}

}  // namespace

std::string ProductFolderName() {
  return std::string(kProductName) + " " + std::to_string(kProgramVersion.major);
}

std::string ShortcutFolder(const Environment& env) {
  return Under(env.common_programs_folder, ProductFolderName());
}

std::string DesktopLauncherPath(const Environment& env) {
  return Under(env.common_desktop_folder, ProductFolderName() + platform::ShellLinkSuffix());
}

std::string InstallFolder(const Environment& env) {
  return Under(env.program_files_folder, ProductFolderName());
}

std::string RegistrationPath(const Environment& env) {
  return platform::UninstallEntryPlace(EntryOf(env));
}

bool CreateShellLink(const std::string& link_path, const std::string& target_path,
                     const std::string& description, const std::string& working_directory,
                     const std::string& arguments, const std::string& icon_location) {
  return platform::WriteShellLink(
      link_path, {target_path, arguments, working_directory, description, icon_location});
}

bool WriteInternetShortcut(const std::string& file_path, const std::string& address,
                           const std::string& icon_index, const std::string& icon_file) {
  const std::string text = "[InternetShortcut]\r\nURL=" + address + "\r\nIconIndex=" + icon_index +
                           "\r\nIconFile=" + icon_file + "\r\n";
  return platform::ReplaceMenuFile(file_path, text);
}

void CreateShortcutSet(const Context& context, const std::string& site_address) {
  const Environment& env = context.env;
  const std::string program = Under(env.program_folder, env.executable_name);
  const std::string suffix = platform::ShellLinkSuffix();
  CreateShellLink(DesktopLauncherPath(env), program, "", env.program_folder, "", "");

  const std::string folder = ShortcutFolder(env);
  platform::MakeMenuFolder(folder);
  // Shortcuts of an earlier installation may carry another language's names.
  for (const std::string& name : platform::ListFolderFiles(folder)) {
    platform::RemoveFile(platform::JoinPath(folder, name));
  }

  CreateShellLink(Under(folder, ProductFolderName() + suffix), program, "", env.program_folder, "",
                  "");

  const std::string site_name =
      platform::FileNameFromText(LookupText(context.language, "SHORTCUTS", "TOSITE"));
  WriteInternetShortcut(Under(folder, site_name + ".url"), site_address, "", "");
  platform::WriteMenuWebLink(folder, site_name, site_address);

  const std::string update_name =
      platform::FileNameFromText(LookupText(context.language, "SHORTCUTS", "CHECK-UPD"));
  CreateShellLink(Under(folder, update_name + suffix), program, "", env.program_folder, "updates",
                  "");
}

bool RegisterProgram(const Context& context) {
  const Environment& env = context.env;
  const platform::UninstallEntry entry = EntryOf(env);
  if (entry.install_folder.empty() || env.executable_name.empty() || entry.program.empty()) {
    return false;
  }
  if (!platform::MakeMenuFolder(entry.shortcut_folder)) return false;
  return platform::WriteUninstallEntry(entry);
}

std::string UnregisterProgram(Context& context, bool remove_settings,
                              const std::string& script_folder) {
  // The KX application is the install stamp and outlives the program on purpose.
  std::string settings_key;
  if (remove_settings) {
    const std::string settings_file = context.settings.FileOf(kAppNdrf);
    if (!settings_file.empty()) platform::RemoveFile(settings_file);
    settings_key = context.settings.RegistryKeyOf(kAppNdrf);
  }
  return platform::RemoveUninstallEntry(EntryOf(context.env), settings_key, script_folder);
}

}  // namespace nd::shell
