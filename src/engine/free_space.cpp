#include "engine/free_space.h"

#include <optional>

#include "engine/job_log.h"

namespace nd::engine {

uint64_t GetFreeSpace(JobEnvironment& job, const std::string& letter, bool* failed) {
  std::optional<uint64_t> free = job.volumes.FreeSpace(letter);
  if (!free) {
    TraceStep(job.context.env, "DISKFREESPACEERROR");
    if (failed) *failed = true;
    return 0;
  }
  return *free;
}

}  // namespace nd::engine
