// The registry values the Windows side reads and writes for the layers above, through the W
// functions: the per-user settings store and the machine's paging-file policy.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nd::platform::win {

// Where the settings store lives: HKEY_CURRENT_USER\Software\Nulldrift\<application>\<section>,
// one REG_SZ value per key.
inline constexpr std::wstring_view kSettingsRoot = L"Software\\Nulldrift";

// A longer settings value was never written by the program; it reads as empty.
inline constexpr size_t kMaxSettingBytes = 64 * 1024;

// The stored text of a settings key. A missing key, a value that is not REG_SZ (a REG_DWORD
// typed in by hand) and one of absurd length all read as the empty text, so that the next
// save writes it correctly.
std::string ReadSetting(std::string_view app, std::string_view section, std::string_view key);
// Stores `value` as REG_SZ, creating the keys as needed, over a value of any type.
bool WriteSetting(std::string_view app, std::string_view section, std::string_view key,
                  std::string_view value);

// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management,
// value ClearPageFileAtShutdown (REG_DWORD): whether the paging file is wiped at shutdown.
// nullopt when it cannot be read; a missing value is the system's default, off.
std::optional<bool> ReadClearPageFileAtShutdown();
// Needs administrator rights; false when the value could not be written.
bool WriteClearPageFileAtShutdown(bool clear);

}  // namespace nd::platform::win
