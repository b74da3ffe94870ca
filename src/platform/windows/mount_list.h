// NULLDRIFT_MOUNTS on Windows: the drive roots that tests and demonstrations allow, separated
// by ';' since ':' belongs to the drive ("D:\;E:\").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nd::platform::win {

// Each entry as a root "D:\": "D", "D:", "d:\" and "D:/" all name drive D. Empty entries and
// entries that name no drive letter are dropped. Nothing when the variable is unset (empty).
std::optional<std::vector<std::string>> ParseDriveList(std::string_view value);

// "D:\" for "D", "D:", "d:\" or "D:/"; empty for anything else.
std::string DriveRoot(std::string_view text);

}  // namespace nd::platform::win
