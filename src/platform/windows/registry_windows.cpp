// The registry through the W functions: the values of the registry helpers, the settings store
// and the paging-file policy. Texts above the platform line are UTF-8, so string values are
// converted both ways here; binary and DWORD values pass as their bytes.
#include "platform/windows/registry_windows.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/paging_file.h"
#include "platform/registry_backend.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

// The registry limits a value to about 1 MB in practice; a larger answer is not ours.
constexpr DWORD kMaxValueBytes = 1024 * 1024;

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// "Software\Microsoft\" names the key "Software\Microsoft"; the registry refuses neither, but
// an empty part in the middle would name another key.
std::wstring KeyPath(const std::string& key, bool& ok) {
  std::string trimmed = key;
  while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
  std::wstring wide = win::Widen(trimmed, &ok);
  if (wide.find(L'\0') != std::wstring::npos) ok = false;
  return wide;
}

// A value's type and bytes; nullopt when it is missing, unreadable or absurdly long.
std::optional<std::pair<DWORD, std::vector<BYTE>>> QueryRaw(HKEY root, const std::wstring& key,
                                                            const std::wstring& name,
                                                            DWORD max_bytes) {
  Key opened;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, opened.out()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // The value may change size between the two calls; try again a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        size > max_bytes) {
      return std::nullopt;
    }
    std::vector<BYTE> data(size + sizeof(wchar_t));
    DWORD got = size;
    LSTATUS rc = ::RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, data.data(), &got);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return std::nullopt;
    data.resize(got);
    return std::make_pair(type, std::move(data));
  }
  return std::nullopt;
}

// The UTF-16 text of a REG_SZ's bytes, without its terminating NULs (a value written by
// another program may have none, or an odd byte left over).
std::wstring WideText(const std::vector<BYTE>& data) {
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

enum class Missing { kCreate, kRefuse };

// Creates the key (and what lies above it) when it is missing, unless told to refuse.
bool SetRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
            const BYTE* data, DWORD size, Missing missing = Missing::kCreate) {
  Key opened;
  const LSTATUS rc = missing == Missing::kCreate
                         ? ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, opened.out(), nullptr)
                         : ::RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, opened.out());
  if (rc != ERROR_SUCCESS) return false;
  return ::RegSetValueExW(opened.get(), name.c_str(), 0, type, data, size) == ERROR_SUCCESS;
}

bool SetText(HKEY root, const std::wstring& key, const std::wstring& name,
             const std::wstring& text) {
  return SetRaw(root, key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

class WindowsRegistry final : public RegistryBackend {
 public:
  std::optional<RegistryValue> Query(RegistryRoot root, const std::string& key,
                                     const std::string& name) override {
    bool key_ok = true;
    bool name_ok = true;
    std::wstring wkey = KeyPath(key, key_ok);
    std::wstring wname = win::Widen(name, &name_ok);
    if (!key_ok || !name_ok) return std::nullopt;
    auto raw = QueryRaw(RootKey(root), wkey, wname, kMaxValueBytes);
    if (!raw) return std::nullopt;
    auto& [type, data] = *raw;
    RegistryValue value;
    value.type = type;
    switch (type) {
      case REG_SZ:
      case REG_EXPAND_SZ:
        // One NUL after the text, as the value is stored and rendered.
        value.data = win::Narrow(WideText(data));
        value.data.push_back('\0');
        break;
      case REG_MULTI_SZ: {
        std::wstring list = WideText(data);
        size_t start = 0;
        while (start < list.size()) {
          size_t end = list.find(L'\0', start);
          if (end == std::wstring::npos) end = list.size();
          value.data += win::Narrow(std::wstring_view(list).substr(start, end - start));
          value.data.push_back('\0');
          start = end + 1;
        }
        value.data.push_back('\0');
        break;
      }
      default:
        value.data.assign(reinterpret_cast<const char*>(data.data()), data.size());
    }
    return value;
  }

  bool Set(RegistryRoot root, const std::string& key, const std::string& name,
           const RegistryValue& value) override {
    bool key_ok = true;
    bool name_ok = true;
    std::wstring wkey = KeyPath(key, key_ok);
    std::wstring wname = win::Widen(name, &name_ok);
    if (!key_ok || !name_ok || wkey.empty()) return false;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
      std::string_view text = value.data;
      if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
      bool text_ok = true;
      std::wstring wide = win::Widen(text, &text_ok);
      if (!text_ok) return false;
      return SetRaw(RootKey(root), wkey, wname, value.type,
                    reinterpret_cast<const BYTE*>(wide.c_str()),
                    static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
    if (value.data.size() > kMaxValueBytes) return false;
    return SetRaw(RootKey(root), wkey, wname, value.type,
                  reinterpret_cast<const BYTE*>(value.data.data()),
                  static_cast<DWORD>(value.data.size()));
  }

  bool Delete(RegistryRoot root, const std::string& key, const std::string& name) override {
    bool key_ok = true;
    bool name_ok = true;
    std::wstring wkey = KeyPath(key, key_ok);
    std::wstring wname = win::Widen(name, &name_ok);
    if (!key_ok || !name_ok) return false;
    Key opened;
    if (::RegOpenKeyExW(RootKey(root), wkey.c_str(), 0, KEY_SET_VALUE, opened.out()) !=
        ERROR_SUCCESS) {
      return false;
    }
    return ::RegDeleteValueW(opened.get(), wname.c_str()) == ERROR_SUCCESS;
  }
};

constexpr wchar_t kMemoryManagement[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
constexpr wchar_t kClearPageFile[] = L"ClearPageFileAtShutdown";

// HKEY_LOCAL_MACHINE\...\Memory Management, value ClearPageFileAtShutdown (REG_DWORD). The key
// belongs to the system: a machine without it is not one where the value means anything.
class WindowsPagingFilePolicy final : public PagingFilePolicy {
 public:
  std::optional<uint32_t> Read() override {
    auto raw = QueryRaw(HKEY_LOCAL_MACHINE, kMemoryManagement, kClearPageFile, sizeof(DWORD));
    if (!raw || raw->first != REG_DWORD || raw->second.size() != sizeof(DWORD)) {
      return std::nullopt;
    }
    DWORD value = 0;
    std::memcpy(&value, raw->second.data(), sizeof value);
    return value;
  }

  bool Write(bool clear) override {
    const DWORD value = clear ? 1 : 0;
    return SetRaw(HKEY_LOCAL_MACHINE, kMemoryManagement, kClearPageFile, REG_DWORD,
                  reinterpret_cast<const BYTE*>(&value), sizeof value, Missing::kRefuse);
  }
};

// A settings name becomes one key level: a backslash in it would reach another key.
std::optional<std::wstring> KeyLevel(std::string_view name) {
  bool ok = true;
  std::wstring wide = win::Widen(name, &ok);
  if (!ok || wide.empty() ||
      wide.find_first_of(std::wstring_view(L"\\\0", 2)) != std::wstring::npos) {
    return std::nullopt;
  }
  return wide;
}

std::optional<std::wstring> ApplicationKey(std::string_view app) {
  auto level = KeyLevel(app);
  if (!level) return std::nullopt;
  return std::wstring(win::kSettingsRoot) + L"\\" + *level;
}

std::optional<std::wstring> SettingsKey(std::string_view app, std::string_view section) {
  auto application = ApplicationKey(app);
  auto level = KeyLevel(section);
  if (!application || !level) return std::nullopt;
  return *application + L"\\" + *level;
}

}  // namespace

RegistryBackend& SystemRegistry() {
  static WindowsRegistry registry;
  return registry;
}

PagingFilePolicy* SystemPagingFilePolicy() {
  static WindowsPagingFilePolicy policy;
  return &policy;
}

bool HasSettingsRegistry() { return true; }

std::string SettingsRegistryKey(std::string_view app) {
  auto key = ApplicationKey(app);
  return key ? "HKEY_CURRENT_USER\\" + win::Narrow(*key) : std::string();
}

std::string ReadSettingsValue(std::string_view app, std::string_view section,
                              std::string_view key) {
  using namespace win;
  auto path = SettingsKey(app, section);
  bool key_ok = true;
  std::wstring wkey = Widen(key, &key_ok);
  if (!path || !key_ok) return {};
  auto raw = QueryRaw(HKEY_CURRENT_USER, *path, wkey, static_cast<DWORD>(kMaxSettingBytes));
  if (!raw || raw->first != REG_SZ) return {};
  return Narrow(WideText(raw->second));
}

bool WriteSettingsValue(std::string_view app, std::string_view section, std::string_view key,
                        std::string_view value) {
  using namespace win;
  auto path = SettingsKey(app, section);
  bool key_ok = true;
  bool value_ok = true;
  std::wstring wkey = Widen(key, &key_ok);
  std::wstring wvalue = Widen(value, &value_ok);
  if (!path || !key_ok || !value_ok || value.size() >= kMaxSettingBytes) return false;
  return SetText(HKEY_CURRENT_USER, *path, wkey, wvalue);
}

}  // namespace nd::platform
