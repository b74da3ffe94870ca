// What an installation leaves on the desktop and in the menus: the program's launchers, the
// web-site link, and the uninstall entry that lists the program as installed. The names are
// chosen here; the platform writes each in its desktop's form.
#pragma once

#include <string>

#include "localisation/context.h"

namespace nd::shell {

// "Nulldrift 3": the name of the menu folder, the install folder and the launchers.
std::string ProductFolderName();
// common_programs_folder + "/Nulldrift 3".
std::string ShortcutFolder(const Environment& env);
// common_desktop_folder + "/Nulldrift 3" + the platform's launcher suffix.
std::string DesktopLauncherPath(const Environment& env);
// program_files_folder + "/Nulldrift 3".
std::string InstallFolder(const Environment& env);
// The uninstall entry in the shortcut folder.
std::string RegistrationPath(const Environment& env);

// Writes the platform's launcher at `link_path` (named after the file, without its suffix) that
// starts `target_path` with `arguments` (each quoted by platform::QuoteShellLinkArgument) in
// `working_directory`. Description and icon are left out when empty. False on failure; reports
// nothing.
bool CreateShellLink(const std::string& link_path, const std::string& target_path,
                     const std::string& description, const std::string& working_directory,
                     const std::string& arguments, const std::string& icon_location);

// Replaces `file_path` with the four CR LF lines of an Internet shortcut to `address`.
bool WriteInternetShortcut(const std::string& file_path, const std::string& address,
                           const std::string& icon_index, const std::string& icon_file);

// The desktop launcher, then the menu folder emptied of its files and filled anew: the launcher,
// the web-site link (as an Internet shortcut, and offered to the menus in their own form) and
// the update check. Every
// step that fails is skipped; the rest still run. Empties the folder, so register afterwards.
void CreateShortcutSet(const Context& context, const std::string& site_address);

// Writes the uninstall entry ("<installed executable> uninstall"). False, and nothing written,
// when the executable is not in the install folder: there would be nothing for a menu to run.
bool RegisterProgram(const Context& context);
// Removes the uninstall entry and, with `remove_settings`, the settings of the program (never the
// install stamp), using `script_folder` for a registry script where the platform needs one. The
// path of a script to delete once the user has been told, or empty.
std::string UnregisterProgram(Context& context, bool remove_settings,
                              const std::string& script_folder);

}  // namespace nd::shell
