// Windows answers for the machine and user facts: the shell's special folders, the temporary
// folder, the executable's folder, the system version and the user's administrator rights.
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <shlobj.h>

#include "platform/os_environment.h"
#include "platform/windows/path_forms.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

int CsidlOf(SpecialFolder folder) {
  switch (folder) {
    case SpecialFolder::kAppData:
      return CSIDL_APPDATA;
    case SpecialFolder::kCommonPrograms:
      return CSIDL_COMMON_PROGRAMS;
    case SpecialFolder::kCommonDesktop:
      return CSIDL_COMMON_DESKTOPDIRECTORY;
    case SpecialFolder::kWindows:
      return CSIDL_WINDOWS;
    case SpecialFolder::kProgramFiles:
      return CSIDL_PROGRAM_FILES;
  }
  return -1;
}

// The running executable's path, however long.
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 6; ++attempt) {
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 4);
  }
  return {};
}

}  // namespace

std::string GetSpecialFolder(SpecialFolder folder) {
  const int csidl = CsidlOf(folder);
  if (csidl < 0) return {};
  wchar_t path[MAX_PATH] = {};
  // CSIDL_FLAG_CREATE makes a missing folder; S_FALSE and the error statuses leave it unnamed.
  if (::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path) !=
      S_OK) {
    return {};
  }
  return win::Narrow(path);
}

std::string SystemDriveLetter() {
  std::string windows = GetSpecialFolder(SpecialFolder::kWindows);
  if (windows.size() < 2 || windows[1] != ':') return {};
  char letter = windows[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  return std::string(1, letter);
}

std::string TempPath() {
  std::wstring path(MAX_PATH + 1, L'\0');
  DWORD n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  if (n > path.size()) {
    path.resize(n + 1);
    n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  }
  if (n == 0 || n > path.size()) return {};
  path.resize(n);
  return win::Narrow(path);
}

std::string SystemVolumeRoot() {
  std::string letter = SystemDriveLetter();
  return letter.empty() ? std::string("C:\\") : letter + ":\\";
}

// The settings live in the registry on Windows; files of the program's own configuration go
// below the user's application-data folder.
std::string ConfigHome() { return GetSpecialFolder(SpecialFolder::kAppData); }

std::string ProgramFolder() {
  std::wstring exe = ModulePath();
  size_t slash = exe.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::string() : win::Narrow(exe.substr(0, slash));
}

int OsMajorVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  // Deprecated but still the described source of the number: without a manifest that names
  // newer systems it answers 6 on everything after Vista, which is what the stand-by gate
  // compares against.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
  return static_cast<int>(info.dwMajorVersion);
}

// A member of the Administrators group whose token is elevated: under UAC an administrator's
// ordinary token holds the group only for denying, and CheckTokenMembership then says no.
bool IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  if (!::CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  ::FreeSid(administrators);
  return member != FALSE;
}

namespace win {

std::string ExecutableFile() { return Narrow(ModulePath()); }

// Both retry once with the length the first call asked for, as the path may be longer than
// any fixed buffer.
std::string ShortPathOf(const std::string& path) {
  std::wstring wide = WidePath(path);
  if (wide.empty()) return {};
  std::wstring out(1024, L'\0');
  DWORD n = ::GetShortPathNameW(wide.c_str(), out.data(), static_cast<DWORD>(out.size()));
  if (n >= out.size()) {
    out.resize(n + 1);
    n = ::GetShortPathNameW(wide.c_str(), out.data(), static_cast<DWORD>(out.size()));
  }
  if (n == 0 || n >= out.size()) return {};
  out.resize(n);
  return Narrow(out);
}

std::string LongPathOf(const std::string& path) {
  std::wstring wide = WidePath(path);
  if (wide.empty()) return path;
  std::wstring out(1024, L'\0');
  DWORD n = ::GetLongPathNameW(wide.c_str(), out.data(), static_cast<DWORD>(out.size()));
  if (n >= out.size()) {
    out.resize(n + 1);
    n = ::GetLongPathNameW(wide.c_str(), out.data(), static_cast<DWORD>(out.size()));
  }
  if (n == 0 || n >= out.size()) return path;
  out.resize(n);
  return Narrow(out);
}

}  // namespace win
}  // namespace nd::platform
