// The operating system's registry of single named values, as the registry helpers reach it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nd::platform {

enum class RegistryRoot { kLocalMachine, kCurrentUser };

struct RegistryValue {
  uint32_t type = 0;  // REG_SZ 1, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4, ...
  std::string data;   // the stored bytes
};

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // `key` is the path below the root with every part followed by a backslash.
  virtual std::optional<RegistryValue> Query(RegistryRoot root, const std::string& key,
                                             const std::string& name) = 0;
  // Creates the key as needed. false when the value could not be stored.
  virtual bool Set(RegistryRoot root, const std::string& key, const std::string& name,
                   const RegistryValue& value) = 0;
  virtual bool Delete(RegistryRoot root, const std::string& key, const std::string& name) = 0;
};

// The machine's registry. Linux has none: every value is missing and nothing can be stored.
RegistryBackend& SystemRegistry();

// Where the operating system keeps the program's per-user settings itself: on Windows
// HKEY_CURRENT_USER\Software\Nulldrift\<application>\<section>, one REG_SZ value per key.
// Linux has no such place (false); the settings store keeps files there.
bool HasSettingsRegistry();
// The key of one application, "HKEY_CURRENT_USER\Software\Nulldrift\<application>"; empty
// without a settings registry or for a name that is no single key.
std::string SettingsRegistryKey(std::string_view app);
// The stored text. A missing key, a value that is not REG_SZ (a REG_DWORD typed in by hand)
// and one of absurd length all read as the empty text, so that the next save writes it
// correctly.
std::string ReadSettingsValue(std::string_view app, std::string_view section, std::string_view key);
// Stores `value` as REG_SZ, creating the keys as needed, over a value of any type.
bool WriteSettingsValue(std::string_view app, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace nd::platform
