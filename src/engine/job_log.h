// Two small files in the data folder: the trace of the step the program is in (so that a step
// it died in can be seen afterwards) and the job log, one line per cleaned volume, newest first.
#pragma once

#include <string>
#include <string_view>

#include "engine/job_types.h"
#include "system/environment_probe.h"

namespace nd::engine {

// Writes "x|ver:<version>|<tag>" as the trace file's only line, or deletes the file for the
// empty tag. Never fails visibly.
void TraceStep(const Environment& env, std::string_view tag);

// Puts `line` at the top of "log.txt". A crash at any moment leaves the old log or the new one.
bool AppendJobLog(const Environment& env, std::string_view line);

struct JobLogEntry {
  WorkStatusCode work_status = kStatusStopped;
  std::string start;
  std::string end;
  long long elapsed_seconds = 0;
  std::string drive_letter;
  std::string volume_label;
  std::string file_system;
  long long serial = 0;
  CleanWay clean_way = CleanWay::kFileRecords;
  NtfsMode ntfs_mode = NtfsMode::kFew;
};

// The ten fields joined with "|", unquoted.
std::string BuildJobLogLine(const JobLogEntry& entry);

std::string TraceFilePath(const Environment& env);
std::string JobLogPath(const Environment& env);

}  // namespace nd::engine
