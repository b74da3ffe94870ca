#include "engine/statistics.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "system/settings_keys.h"

namespace nd::engine {

std::string StatisticsKey(long long serial, CleanWay clean_way, NtfsMode ntfs_mode) {
  return "Disk" + std::to_string(serial) + "-cleanway" + std::to_string(Number(clean_way)) +
         "-ntfs" + std::to_string(Number(ntfs_mode));
}

std::optional<double> StoredRate(const SettingsStore& settings, const std::string& key) {
  std::string text = settings.Get(kAppNdrf, settings::kStatisticsSection, key);
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  double rate = std::strtod(begin, &end);
  if (end == begin || errno != 0) return std::nullopt;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0' || !std::isfinite(rate) || rate <= 0) return std::nullopt;
  return rate;
}

void StoreRate(SettingsStore& settings, const std::string& key, uint64_t free_bytes,
               long long elapsed_seconds) {
  if (elapsed_seconds <= 0) return;
  uint64_t rate = free_bytes / static_cast<uint64_t>(elapsed_seconds);
  settings.Save(kAppNdrf, settings::kStatisticsSection, key, std::to_string(rate));
}

std::chrono::system_clock::time_point EstimatedEnd(std::chrono::system_clock::time_point now,
                                                   uint64_t available, double rate) {
  // Beyond a century the estimate means nothing, and the clock type would overflow.
  double seconds = std::min(std::floor(static_cast<double>(available) / rate), 3.2e9);
  return now + std::chrono::seconds(static_cast<long long>(seconds));
}

}  // namespace nd::engine
