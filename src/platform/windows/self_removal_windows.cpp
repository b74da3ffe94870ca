// The removal script as a batch file for cmd.exe: it waits for the program to end (then ends
// every process of the executable's name), deletes the executable, removes the folders and
// deletes itself. The script is hidden, and its loop gives up after its rounds.
#include <windows.h>

#include <cmath>
#include <cstdlib>

#include "platform/files.h"
#include "platform/os_environment.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/self_removal.h"
#include "platform/windows/path_forms.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

std::string Line(const std::string& text) { return text + "\r\n"; }

// `path` in double quotes for a batch line: '%' would start a variable, so it is doubled; no
// Windows path holds a double quote. An existing path is given in its short form when it has
// one, which stays within any code page.
std::string Quoted(const std::string& path) {
  std::string form = win::ShortPathOf(path);
  if (form.empty()) form = path;
  std::string out = "\"";
  for (char c : form) {
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// One round's pause. cmd has no sleep of its own; ping waits a second between its echoes.
std::string PauseLine(const std::string& round_pause) {
  const double seconds = std::strtod(round_pause.c_str(), nullptr);
  const long whole = std::max(1L, static_cast<long>(std::ceil(seconds)));
  return Line("ping -n " + std::to_string(whole + 1) + " 127.0.0.1 >nul");
}

std::string RemoveFolderLine(const std::string& folder) {
  return folder.empty() ? std::string() : Line("rmdir /S /Q " + Quoted(folder));
}

std::string DeleteLine(const std::string& file) {
  return file.empty() ? std::string() : Line("del /F /Q " + Quoted(file));
}

}  // namespace

std::string RemovalScriptName() { return "Uninstall.bat"; }

std::string RemovalScript(const RemovalPlan& plan) {
  std::string s = Line("@echo off");
  s += Line("rem Removes " + plan.product + " once the program that wrote this script has ended.");
  // Non-ASCII paths that have no short form are read in UTF-8.
  s += Line("chcp 65001 >nul");
  if (!plan.executable.empty()) {
    // The uninstalling process is given half the rounds to end by itself; after that every
    // process of the executable's name is ended, copies of the program still open included.
    // The loop ends once the file is gone, or after its rounds.
    const std::string exe = Quoted(plan.executable);
    s += Line("set round=0");
    s += Line(":again");
    s += Line("set /a round+=1");
    s += Line("if %round% gtr " + std::to_string(plan.rounds) + " goto rest");
    s += Line("if %round% gtr " + std::to_string(plan.rounds / 2) + " taskkill /F /IM " +
              LowerAscii(FileNameOf(plan.executable)) + " >nul 2>&1");
    // The task list goes through a file, not a pipe: a detached cmd on a desktop can hand
    // the piped find a console to wait on instead of the list (Wine does), and the loop would
    // never come round.
    const std::string tasks = Quoted(JoinPath(
        plan.script_folder.empty() ? win::EnvValue(L"TEMP") : plan.script_folder, "tasks.txt"));
    const std::string pid = std::to_string(plan.process_id);
    s += Line("tasklist /FI \"PID eq " + pid + "\" >" + tasks + " 2>nul");
    s += Line("find \" " + pid + " \" " + tasks + " >nul");
    s += Line("if not errorlevel 1 if %round% leq " + std::to_string(plan.rounds / 2) +
              " goto pause");
    s += Line("del /F /Q " + exe + " >nul 2>&1");
    s += Line("if not exist " + exe + " goto rest");
    s += Line(":pause");
    s += PauseLine(plan.round_pause);
    s += Line("goto again");
    s += Line(":rest");
  }
  if (plan.remove_settings) s += RemoveFolderLine(plan.data_folder);
  s += DeleteLine(plan.desktop_launcher);
  s += RemoveFolderLine(plan.shortcut_folder);
  s += RemoveFolderLine(plan.install_folder);
  // Last: the folder that holds this very script. cmd keeps the script open while it runs, so
  // a second cmd removes the folder a moment after this one has ended.
  if (!plan.script_folder.empty()) {
    s += Line("cd /D %TEMP%");
    s += Line("start \"\" /b cmd /d /c \"ping -n 3 127.0.0.1 >nul & rmdir /S /Q " +
              Quoted(plan.script_folder) + "\"");
    s += Line("exit /b 0");
  }
  return s;
}

// Written hidden, so that the temporary folder's listing does not show it.
bool WriteRemovalScript(const std::string& path, const RemovalPlan& plan) {
  if (!WriteWholeFile(path, RemovalScript(plan))) return false;
  const std::wstring wide = win::WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         ::SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) != FALSE;
}

bool StartRemovalScript(const std::string& script_path) {
  std::string cmd = win::EnvValue(L"ComSpec");
  if (cmd.empty()) {
    const std::string windows = GetSpecialFolder(SpecialFolder::kWindows);
    if (windows.empty()) return false;
    cmd = JoinPath(JoinPath(windows, "System32"), "cmd.exe");
  }
  return Spawn(cmd, {"/D", "/C", script_path}, {.detached = true});
}

}  // namespace nd::platform
