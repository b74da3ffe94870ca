// What an installation leaves on the desktop and in the menus: the program's launchers as
// desktop entries, the web-site link, and the uninstall entry that lists the program as installed.
#pragma once

#include <string>

#include "localisation/context.h"

namespace nd::shell {

// "Nulldrift 3": the name of the menu folder, the install folder and the launchers.
std::string ProductFolderName();
// common_programs_folder + "/Nulldrift 3".
std::string ShortcutFolder(const Environment& env);
// common_desktop_folder + "/Nulldrift 3.desktop".
std::string DesktopLauncherPath(const Environment& env);
// program_files_folder + "/Nulldrift 3".
std::string InstallFolder(const Environment& env);
// The uninstall entry in the shortcut folder.
std::string RegistrationPath(const Environment& env);

// `text` as one argument of a desktop entry's Exec line: in double quotes when it holds a blank
// or another reserved character, with " ` $ \ escaped inside them; "%" doubled everywhere.
std::string QuoteExecArgument(const std::string& text);

// Writes a desktop entry of type Application at `link_path` (named after the file, without
// ".desktop") that starts `target_path` with `arguments` in `working_directory`, and marks it
// executable. Comment and Icon are left out when empty. False on failure; reports nothing.
bool CreateShellLink(const std::string& link_path, const std::string& target_path,
                     const std::string& description, const std::string& working_directory,
                     const std::string& arguments, const std::string& icon_location);

// Replaces `file_path` with the four CR LF lines of an Internet shortcut to `address`.
bool WriteInternetShortcut(const std::string& file_path, const std::string& address,
                           const std::string& icon_index, const std::string& icon_file);

// The desktop launcher, then the menu folder emptied of its files and filled anew: the launcher,
// the web-site link (as an Internet shortcut and as a Link entry) and the update check. Every
// step that fails is skipped; the rest still run. Empties the folder, so register afterwards.
void CreateShortcutSet(const Context& context, const std::string& site_address);

// Writes the uninstall entry ("<installed executable> uninstall"). False, and nothing written,
// when the executable is not in the install folder: there would be nothing for a menu to run.
bool RegisterProgram(const Context& context);
void UnregisterProgram(const Context& context);

}  // namespace nd::shell
