// Every section and key of the settings store in one place, with the few that are built from
// a drive letter or a job's parameters.
#pragma once

#include <string>
#include <string_view>

#include "system/settings_store.h"

namespace nd {

struct SettingKey {
  std::string_view app;
  std::string_view section;
  std::string_view key;
};

namespace settings {

// Two-state values: "" = on and anything else = off for the first group ...
inline constexpr SettingKey kPlaySound{kAppNdrf, "Settings", "PlaySound"};
inline constexpr SettingKey kPreventStandBy{kAppNdrf, "Settings", "PreventStandBy"};
// ... and "YES" = on, anything else = off for these.
inline constexpr SettingKey kShowGoodOnly{kAppNdrf, "Settings", "SHOWGOODONLY"};
inline constexpr SettingKey kRunSecondWindow{kAppNdrf, "RunSecondWindow", "Value"};
inline constexpr SettingKey kEmptyBin{kAppNdrf, "EmptyBin", "Value"};

inline constexpr SettingKey kLanguage{kAppNdrf, "Settings", "Language"};
inline constexpr SettingKey kRecentUpdate{kAppNdrf, "Settings", "Recent Update"};
inline constexpr SettingKey kCip{kAppNdrf, "Settings", "CIP"};
inline constexpr SettingKey kSubscriptionEmail{kAppNdrf, "Settings", "Subscription Email"};
// The overwrite method digit, scrambled with kMethodScrambleKey.
inline constexpr SettingKey kSecurityMethod{kAppNdrf, "SecurityMethod", "Value"};
// "" = cleaning way 1, "7" = way 2.
inline constexpr SettingKey kSecurityWay{kAppNdrf, "SecurityWay", "Value"};
// "" = NTFS mode 1, "2", "3". The one value name written in capitals.
inline constexpr SettingKey kNtfsMode{kAppNdrf, "NTFSMODE", "VALUE"};

inline constexpr std::string_view kDiskSelectionSection = "DiskSelection";
inline constexpr std::string_view kStatisticsSection = "Statistics";

// The install stamp, kept by the second application so that a reinstall is recognised.
inline constexpr SettingKey kReloadMonth{kAppKx, "NDRF", "Reload-Month"};
inline constexpr SettingKey kReloadYear{kAppKx, "NDRF", "Reload-Year"};

// The fixed key that scrambles the stored method digit; reading and writing must agree.
inline constexpr std::string_view kMethodScrambleKey = "q";

}  // namespace settings

inline std::string Get(const SettingsStore& store, const SettingKey& k) {
  return store.Get(k.app, k.section, k.key);
}
inline bool Save(SettingsStore& store, const SettingKey& k, std::string_view value) {
  return store.Save(k.app, k.section, k.key, value);
}

}  // namespace nd
