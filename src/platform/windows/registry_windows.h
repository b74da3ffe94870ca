// The registry values the Windows side reads and writes for the layers above, through the W
// functions beside the backend: the machine's paging-file policy.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nd::platform::win {

// The settings store's keys below HKEY_CURRENT_USER.
inline constexpr std::wstring_view kSettingsRoot = L"Software\\Nulldrift";

// A longer settings value was never written by the program; it reads as empty.
inline constexpr size_t kMaxSettingBytes = 64 * 1024;

// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management,
// value ClearPageFileAtShutdown (REG_DWORD): whether the paging file is wiped at shutdown.
// nullopt when it cannot be read; a missing value is the system's default, off.
std::optional<bool> ReadClearPageFileAtShutdown();
// Needs administrator rights; false when the value could not be written.
bool WriteClearPageFileAtShutdown(bool clear);

}  // namespace nd::platform::win
