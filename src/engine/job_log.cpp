#include "engine/job_log.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "system/environment_probe.h"

namespace nd::engine {

std::string TraceFilePath(const Environment& env) {
  return platform::JoinPath(env.data_folder, "fileerror.txt");
}

std::string JobLogPath(const Environment& env) {
  return platform::JoinPath(env.data_folder, "log.txt");
}

void TraceStep(const Environment& env, std::string_view tag) {
  std::string path = TraceFilePath(env);
  if (tag.empty()) {
    platform::RemoveFile(path);
    return;
  }
  // Written in place, not atomically: the trace must cost little, and a torn trace line tells
  // as much as a whole one.
  std::string line = "x|ver:" + env.version_text + "|" + std::string(tag) + "\r\n";
  platform::WriteWholeFile(path, line);
}

bool AppendJobLog(const Environment& env, std::string_view line) {
  std::string path = JobLogPath(env);
  std::string old_log;
  if (FileExists(path) && !platform::ReadFileBytes(path, old_log)) return false;
  std::string new_log;
  new_log.reserve(line.size() + 2 + old_log.size());
  new_log.append(line).append("\r\n").append(old_log);
  // The new log is written under "temp.log", flushed and renamed over "log.txt", so the old
  // log is never deleted before the new one is complete.
  std::string temp = platform::JoinPath(env.data_folder, "temp.log");
  return platform::WriteWholeFile(temp, new_log, /*flush=*/true) &&
         platform::RenameFile(temp, path);
}

std::string BuildJobLogLine(const JobLogEntry& e) {
  std::string line = NumberText(e.work_status);
  for (const std::string& text :
       {e.start, e.end, std::to_string(e.elapsed_seconds), e.drive_letter, e.volume_label,
        e.file_system, std::to_string(e.serial), std::to_string(Number(e.clean_way)),
        std::to_string(Number(e.ntfs_mode))}) {
    line += "|";
    line += text;
  }
  return line;
}

}  // namespace nd::engine
