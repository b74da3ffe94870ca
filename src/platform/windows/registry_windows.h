// What the settings store's place in the registry is made of, for the registry helpers and
// their tests.
#pragma once

#include <cstddef>
#include <string_view>

namespace nd::platform::win {

// The settings store's keys below HKEY_CURRENT_USER.
inline constexpr std::wstring_view kSettingsRoot = L"Software\\Nulldrift";

// A longer settings value was never written by the program; it reads as empty.
inline constexpr size_t kMaxSettingBytes = 64 * 1024;

}  // namespace nd::platform::win
