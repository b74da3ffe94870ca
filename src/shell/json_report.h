// What `nulldrift-clean --json` writes: one JSON document per run, with the volumes it sees
// (--list) or the result of every volume it cleaned, for scripts that run it on many machines.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/os_volumes.h"

namespace nd {

// One volume of a cleaning run.
struct VolumeResult {
  std::string letter;
  std::string mount_point;
  std::string file_system;
  std::string label;
  int clean_way = 1;
  int ntfs_mode = 1;
  int method = 2;
  int result_code = 0;
  std::string result_text;
  std::chrono::system_clock::time_point start;
  std::chrono::system_clock::time_point end;
  double seconds = 0;  // measured on a clock that no clock change moves
  uint64_t bytes_written = 0;
  std::optional<uint64_t> free_before;  // none when the volume did not answer
  std::optional<uint64_t> free_after;
};

struct RunReport {
  std::string version;
  std::vector<VolumeResult> volumes;
  int exit_status = 0;
  std::string error;  // why the run did not start; empty when it did
};

// `when` in UTC as ISO 8601 with seconds, e.g. 2026-12-08T13:05:09Z.
std::string IsoUtcText(std::chrono::system_clock::time_point when);

// The overwrite method's name as the command line takes it ("spaces" for 2, ...).
std::string MethodName(int method);

// Indented JSON ending with a line feed. Texts are escaped; bytes that are not UTF-8 (a label
// can hold any) become U+FFFD, so the document is always valid.
std::string RunReportJson(const RunReport& report);
std::string VolumeListJson(const std::vector<VolumeInfo>& volumes, const std::string& version);

}  // namespace nd
