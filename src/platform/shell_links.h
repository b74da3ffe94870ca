// What an installation leaves in the menus and on the desktop, in this desktop's own form: the
// launchers of the program, a web address offered to the menus, and the entry that lists the
// program as installed. The names and folders are the shell's to choose.
#pragma once

#include <string>

namespace nd::platform {

// How the file name of a launcher ends (".desktop" here).
std::string ShellLinkSuffix();

struct ShellLink {
  std::string target;     // the program to start
  std::string arguments;  // its arguments as one text, each quoted by QuoteShellLinkArgument
  std::string working_folder;
  std::string description;  // left out when empty
  std::string icon;         // left out when empty
};

// Replaces whatever is at `path` with a launcher that every user may read and start; menus show
// it under its file name without the suffix. False on failure; reports nothing.
bool WriteShellLink(const std::string& path, const ShellLink& link);

// `text` as one argument of a launcher's command line.
std::string QuoteShellLinkArgument(const std::string& text);

// Replaces whatever is at `path` with `contents` in a file every user may read (menus are read
// by all), never writing through a link or a read-only file left in its place.
bool ReplaceMenuFile(const std::string& path, const std::string& contents);

// Creates `folder` for menu entries when it is missing, readable by every user. True when it
// is there afterwards.
bool MakeMenuFolder(const std::string& folder);

// Offers `address` to the menus as the entry `name` in `folder`, beside the Internet shortcut
// that the menus here do not read. False on failure.
bool WriteMenuWebLink(const std::string& folder, const std::string& name,
                      const std::string& address);

// The entry that lists the program as installed, and the command that removes it.
struct UninstallEntry {
  std::string shortcut_folder;  // the program's menu folder
  std::string product;          // "Nulldrift 3"
  std::string display_name;     // what the list of installed programs shows
  std::string program;          // the installed executable, started with "uninstall"
  std::string install_folder;
};

// Where the entry is kept (a file in the menu folder here); empty when the folder is unknown.
std::string UninstallEntryPlace(const UninstallEntry& entry);
bool WriteUninstallEntry(const UninstallEntry& entry);

// Removes the entry and, when `settings_key` is not empty, that key of the settings store with
// everything below it. On Windows both go in one registry script, "uninstall.reg" in
// `script_folder`, which "regedit /S" applies hidden; it is given 500 ms to read the script, and
// the script's path is returned, to be deleted once the user has been told. Without a script
// (no folder, or regedit cannot be started) the keys are deleted directly. Here the entry's file
// goes at once and nothing is returned.
std::string RemoveUninstallEntry(const UninstallEntry& entry, const std::string& settings_key,
                                 const std::string& script_folder);

}  // namespace nd::platform
