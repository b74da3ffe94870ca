#include "test_support.h"

#include <cstdlib>
#include <iterator>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/work_files.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/windows/win_text.h"
#endif

namespace nd::test {
namespace {

std::string DefaultScratchParent() {
  if (auto parent = GetEnv("ND_TEST_SCRATCH_PARENT"); parent && !parent->empty()) return *parent;
  std::error_code ec;
  return std::filesystem::temp_directory_path(ec).string();
}

}  // namespace

ScratchFolder::ScratchFolder() : ScratchFolder(DefaultScratchParent()) {}

ScratchFolder::ScratchFolder(const std::string& parent)
    : path_(platform::MakePrivateTempFolder(parent, "nulldrift-test-")) {}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
#ifdef _WIN32
  // The platform's removal never descends through a junction or symbolic link, which the
  // standard library's may not know from a folder here.
  platform::RemoveTree(path_);
#else
  std::error_code ec;
  // A test may have taken permissions away; give them back so that removal works.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
#endif
}

std::string ScratchFolder::operator/(const std::string& name) const {
  return platform::JoinPath(path_, name);
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value)
    : name_(name), old_(GetEnv(name)) {
  SetEnv(name_, value);
}

ScopedEnv::ScopedEnv(const char* name, const char* value)
    : ScopedEnv(name, value ? std::optional<std::string>(value) : std::nullopt) {}

ScopedEnv::~ScopedEnv() { SetEnv(name_, old_); }

#ifdef _WIN32
// Wine's ntdll exports its version; Windows' does not.
bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

constexpr const char* kUrlSchemes[] = {"http", "https"};

std::string CommandKey(const char* scheme) {
  return std::string(scheme) + "\\shell\\open\\command";
}

// The commands that were there before, put back by RemoveUrlOpenCommand.
std::vector<std::optional<std::string>>& SavedCommands() {
  static std::vector<std::optional<std::string>> saved;
  return saved;
}

std::optional<std::string> ReadCommand(const char* scheme) {
  char buffer[4096];
  DWORD size = sizeof buffer;
  if (::RegGetValueA(HKEY_CLASSES_ROOT, CommandKey(scheme).c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                     buffer, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(buffer);
}

void WriteCommand(const char* scheme, const std::optional<std::string>& command) {
  HKEY opened = nullptr;
  if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, CommandKey(scheme).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &opened, nullptr) != ERROR_SUCCESS) {
    return;
  }
  if (command) {
    ::RegSetValueExA(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command->c_str()),
                     static_cast<DWORD>(command->size() + 1));
  } else {
    ::RegDeleteValueA(opened, nullptr);
  }
  ::RegCloseKey(opened);
}

}  // namespace

// The classes root, which the shell reads (Wine's holds no per-user classes); what was there
// before comes back afterwards.
void SetUrlOpenCommand(const std::string& command) {
  SavedCommands().clear();
  for (const char* scheme : kUrlSchemes) {
    SavedCommands().push_back(ReadCommand(scheme));
    WriteCommand(scheme, command);
  }
}

void RemoveUrlOpenCommand() {
  for (size_t i = 0; i < SavedCommands().size() && i < std::size(kUrlSchemes); ++i) {
    WriteCommand(kUrlSchemes[i], SavedCommands()[i]);
  }
  SavedCommands().clear();
}

// The environment as the platform layer reads it, through the W functions, in UTF-8 here.
std::optional<std::string> GetEnv(const std::string& name) {
  const wchar_t* value = ::_wgetenv(platform::win::Widen(name).c_str());
  return value ? std::optional<std::string>(platform::win::Narrow(value)) : std::nullopt;
}

// _wputenv_s changes the C runtime's copy and the process environment that the W functions
// read. It takes an empty value for a removal, so an empty value is then set on the process
// environment alone.
void SetEnv(const std::string& name, const std::optional<std::string>& value) {
  const std::wstring wide_name = platform::win::Widen(name);
  const std::wstring wide_value = value ? platform::win::Widen(*value) : std::wstring();
  ::_wputenv_s(wide_name.c_str(), wide_value.c_str());
  if (value && value->empty()) ::SetEnvironmentVariableW(wide_name.c_str(), L"");
}
#else
bool UnderWine() { return false; }

std::optional<std::string> GetEnv(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnv(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
}
#endif

}  // namespace nd::test
