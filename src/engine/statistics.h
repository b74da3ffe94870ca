// Measured cleaning speeds, one per volume serial, cleaning way and NTFS mode, and the end-time
// estimate made from them.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/job_types.h"
#include "system/settings_store.h"

namespace nd::engine {

// "Disk" + serial + "-cleanway" + way + "-ntfs" + mode.
std::string StatisticsKey(long long serial, CleanWay clean_way, NtfsMode ntfs_mode);

// The stored rate in bytes per second; nothing when it is missing, not a number, or not
// above 0 (a rate of 0 cannot be divided by).
std::optional<double> StoredRate(const SettingsStore& settings, const std::string& key);

void StoreRate(SettingsStore& settings, const std::string& key, uint64_t free_bytes,
               long long elapsed_seconds);

// The moment a volume with `available` free bytes should be done at `rate`.
std::chrono::system_clock::time_point EstimatedEnd(std::chrono::system_clock::time_point now,
                                                   uint64_t available, double rate);

}  // namespace nd::engine
