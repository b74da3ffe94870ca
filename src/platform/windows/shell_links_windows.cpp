// Shortcuts as the Windows shell keeps them: shell links (.lnk) written through IShellLink, the
// Internet shortcut (.url) as its INI text, and the program's entry in the list of installed
// programs as a key below HKEY_LOCAL_MACHINE. Menu folders and files inherit the rights of the
// common folders they are made in, which every user may read.
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <vector>

#include "platform/files.h"
#include "platform/os_environment.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/registry_backend.h"
#include "platform/shell_links.h"
#include "platform/windows/path_forms.h"
#include "platform/windows/process_windows.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

constexpr char kLinkSuffix[] = ".lnk";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr uint32_t kRegSz = 1;

// COM for the calling thread, for as long as the object lives; a thread that has it already
// (in whichever apartment) is left as it is.
class ComScope {
 public:
  ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return p_; }
  T** out() { return &p_; }
  void** void_out() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// Nothing of an older file survives, and nothing is written through what stands there: a
// read-only file loses its attribute first, and a link is removed, not followed.
void RemoveOld(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    // Only a directory link is removed this way; a real folder is left (and the write fails).
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) ::RemoveDirectoryW(path.c_str());
    return;
  }
  ::DeleteFileW(path.c_str());
}

}  // namespace

std::string ShellLinkSuffix() { return kLinkSuffix; }

bool WriteShellLink(const std::string& path, const ShellLink& link) {
  bool ok = true;
  const std::wstring wpath = win::WidePath(path);
  const std::wstring target = win::WidePath(link.target);
  const std::wstring arguments = win::Widen(link.arguments, &ok);
  const std::wstring folder = win::WidePath(link.working_folder);
  const std::wstring description = win::Widen(link.description, &ok);
  const std::wstring icon = win::Widen(link.icon, &ok);
  if (!ok || wpath.empty() || target.empty()) return false;
  ComScope com;
  if (!com.Usable()) return false;
  ComPtr<IShellLinkW> shell_link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                shell_link.void_out()))) {
    return false;
  }
  if (FAILED(shell_link->SetPath(target.c_str())) ||
      FAILED(shell_link->SetArguments(arguments.c_str())) ||
      (!folder.empty() && FAILED(shell_link->SetWorkingDirectory(folder.c_str()))) ||
      (!description.empty() && FAILED(shell_link->SetDescription(description.c_str()))) ||
      (!icon.empty() && FAILED(shell_link->SetIconLocation(icon.c_str(), 0)))) {
    return false;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(shell_link->QueryInterface(IID_IPersistFile, file.void_out()))) return false;
  RemoveOld(wpath);
  return SUCCEEDED(file->Save(wpath.c_str(), TRUE));
}

std::string QuoteShellLinkArgument(const std::string& text) {
  bool ok = true;
  std::wstring wide = win::Widen(text, &ok);
  return ok ? win::Narrow(win::QuoteArgument(wide)) : std::string("\"\"");
}

bool ReplaceMenuFile(const std::string& path, const std::string& contents) {
  const std::wstring wide = win::WidePath(path);
  if (wide.empty()) return false;
  RemoveOld(wide);
  // CREATE_NEW: whatever could not be removed is not written into.
  win::Handle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string_view rest = contents;
  while (!rest.empty()) {
    DWORD written = 0;
    if (!::WriteFile(file.get(), rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr) ||
        written == 0) {
      return false;
    }
    rest.remove_prefix(written);
  }
  return ::CloseHandle(file.release()) != FALSE;
}

bool MakeMenuFolder(const std::string& folder) {
  std::string trimmed = WithoutFinalSeparator(folder);
  if (trimmed.empty()) return false;
  if (IsDirectory(trimmed)) return true;
  const size_t slash = trimmed.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0 && !MakeMenuFolder(trimmed.substr(0, slash + 1))) {
    return false;
  }
  const std::wstring wide = win::WidePath(trimmed);
  if (wide.empty()) return false;
  // No security descriptor of our own: the folder inherits its parent's, readable by all.
  return ::CreateDirectoryW(wide.c_str(), nullptr) != FALSE || IsDirectory(trimmed);
}

// The Start menu reads the Internet shortcut (.url) that the shortcut set writes beside; it
// needs nothing else.
bool WriteMenuWebLink(const std::string& folder, const std::string& /*name*/,
                      const std::string& /*address*/) {
  return !folder.empty();
}

std::string UninstallEntryPlace(const UninstallEntry& entry) {
  if (entry.product.empty()) return {};
  return std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey + entry.product;
}

// The two values the list of installed programs reads; the command names the executable by its
// short form, as a command line in the ANSI code page must.
bool WriteUninstallEntry(const UninstallEntry& entry) {
  if (entry.product.empty()) return false;
  const std::string key = std::string(kUninstallKey) + entry.product + "\\";
  std::string program = win::ShortPathOf(entry.program);
  if (program.empty()) program = QuoteShellLinkArgument(entry.program);
  RegistryBackend& registry = SystemRegistry();
  const bool command = registry.Set(RegistryRoot::kLocalMachine, key, "UninstallString",
                                    {kRegSz, program + " uninstall" + std::string(1, '\0')});
  const bool name = registry.Set(RegistryRoot::kLocalMachine, key, "DisplayName",
                                 {kRegSz, entry.display_name + std::string(1, '\0')});
  if (!entry.install_folder.empty()) {
    registry.Set(RegistryRoot::kLocalMachine, key, "InstallLocation",
                 {kRegSz, entry.install_folder + std::string(1, '\0')});
  }
  return command && name;
}

namespace {

constexpr char kLocalMachine[] = "HKEY_LOCAL_MACHINE\\";
constexpr char kCurrentUser[] = "HKEY_CURRENT_USER\\";

// "[-key]" lines of a REGEDIT4 script, each ended by CR LF, in the ANSI code page regedit reads
// such a script in; empty when a key has no form there.
std::string RegistryScript(const std::vector<std::string>& keys) {
  std::string script = "REGEDIT4\r\n";
  for (const std::string& key : keys) {
    bool ok = true;
    const std::wstring wide = win::Widen(key, &ok);
    BOOL lossy = FALSE;
    const int size =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                              static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
    if (!ok || wide.empty() || size <= 0 || lossy) return {};
    std::string ansi(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                          ansi.data(), size, nullptr, nullptr);
    script += "[-" + ansi + "]\r\n";
  }
  return script;
}

// Deletes "HKEY_...\\path" with all its subkeys; a key that is not there is no failure.
void DeleteKeyTree(const std::string& key) {
  HKEY root = nullptr;
  std::string path;
  if (key.starts_with(kLocalMachine)) {
    root = HKEY_LOCAL_MACHINE;
    path = key.substr(sizeof kLocalMachine - 1);
  } else if (key.starts_with(kCurrentUser)) {
    root = HKEY_CURRENT_USER;
    path = key.substr(sizeof kCurrentUser - 1);
  }
  bool ok = true;
  const std::wstring wide = win::Widen(path, &ok);
  if (root != nullptr && ok && !wide.empty()) ::RegDeleteTreeW(root, wide.c_str());
}

// Writes the script for `keys` into `folder` and starts regedit on it; the script's path, or
// empty when it could not be written or run.
std::string ApplyRegistryScript(const std::vector<std::string>& keys, const std::string& folder) {
  const std::string windows = GetSpecialFolder(SpecialFolder::kWindows);
  const std::string script = RegistryScript(keys);
  if (folder.empty() || windows.empty() || script.empty()) return {};
  const std::string path = JoinPath(folder, "uninstall.reg");
  if (!WriteWholeFile(path, script)) return {};
  std::string form = win::ShortPathOf(path);
  if (form.empty()) form = path;
  if (!Spawn(JoinPath(windows, "regedit.exe"), {"/S", form}, {.hidden = true})) {
    RemoveFile(path);
    return {};
  }
  // regedit reads the script at its start; it is not waited for beyond that.
  ::Sleep(500);
  return path;
}

}  // namespace

std::string RemoveUninstallEntry(const UninstallEntry& entry, const std::string& settings_key,
                                 const std::string& script_folder) {
  std::vector<std::string> keys;
  if (!settings_key.empty()) keys.push_back(settings_key);
  if (!entry.product.empty()) keys.push_back(UninstallEntryPlace(entry));
  if (keys.empty()) return {};
  std::string script = ApplyRegistryScript(keys, script_folder);
  if (script.empty()) {
    for (const std::string& key : keys) DeleteKeyTree(key);
  }
  return script;
}

}  // namespace nd::platform
