#include "platform/windows/win_text.h"

#include <vector>

namespace nd::platform::win {
namespace {

// Not named in every SDK's headers.
constexpr DWORD kDiskQuotaExceeded = 1295;

}  // namespace

std::wstring Widen(std::string_view text, bool* ok) {
  if (ok) *ok = true;
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  int needed = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (needed <= 0) {
    if (ok) *ok = false;
    return {};
  }
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), needed);
  return wide;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), needed, nullptr, nullptr);
  return narrow;
}

std::wstring WidePath(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return {};
  bool ok = true;
  std::wstring wide = Widen(path, &ok);
  if (!ok) return {};
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  // Only a drive-absolute path may take the prefix: it turns off the "." and ".." handling and
  // the trimming of trailing blanks, which the caller did not ask for in a relative path.
  const bool drive_absolute = wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\';
  if (wide.size() >= MAX_PATH - 12 && drive_absolute) {
    std::wstring full(32768, L'\0');
    DWORD n =
        ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n > 0 && n < full.size()) {
      full.resize(n);
      return L"\\\\?\\" + full;
    }
  }
  return wide;
}

bool IsDiskFull(DWORD error) {
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == kDiskQuotaExceeded;
}

std::string EnvValue(const wchar_t* name) {
  DWORD needed = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  DWORD n = ::GetEnvironmentVariableW(name, value.data(), needed);
  if (n == 0 || n >= needed) return {};
  value.resize(n);
  return Narrow(value);
}

}  // namespace nd::platform::win
