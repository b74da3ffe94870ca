// CreateProcess behind the process interface. Windows hands a program one command line, which
// the program splits itself; the arguments are quoted here by the rules of
// CommandLineToArgvW and the C runtime, so that each arrives exactly as given.
#include "platform/windows/process_windows.h"

#include <windows.h>

#include "platform/process.h"
#include "platform/windows/path_forms.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace win {

// One argument as the C runtime's parser gives it back: quoted when it is empty or holds a
// blank, tab or quote; backslashes doubled only where a quote follows them.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"')
      quoted.append(backslashes * 2 + 1, L'\\');
    else
      quoted.append(backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

}  // namespace win

bool Spawn(const std::string& program, const std::vector<std::string>& args, SpawnOptions options) {
  bool ok = true;
  std::wstring wprogram = win::Widen(program, &ok);
  if (!ok || wprogram.empty() || wprogram.find(L'\0') != std::wstring::npos) return false;
  for (wchar_t& c : wprogram) {
    if (c == L'/') c = L'\\';
  }
  // The program's own name is argument 0; quoting it keeps a folder with blanks in one piece.
  std::wstring command = win::QuoteArgument(wprogram);
  for (const std::string& arg : args) {
    std::wstring warg = win::Widen(arg, &ok);
    if (!ok || warg.find(L'\0') != std::wstring::npos) return false;
    command += L" " + win::QuoteArgument(warg);
  }
  const bool has_folder = wprogram.find_first_of(L"\\:") != std::wstring::npos;
  // With no application name CreateProcess looks the first word up along the search path and
  // adds ".exe"; with one it takes the path as given.
  const wchar_t* application = (options.search_path && !has_folder) ? nullptr : wprogram.c_str();

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  DWORD flags = CREATE_UNICODE_ENVIRONMENT;
  if (options.detached) flags |= DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP;
  if (options.hidden) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
  }
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(application, command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &info)) {
    return false;
  }
  // Nobody waits for the child: its handles go at once, and it ends on its own.
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return true;
}

std::string ExecutablePath() { return win::ExecutableFile(); }

int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

}  // namespace nd::platform
