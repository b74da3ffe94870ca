// The free space of a volume as the sub-steps see it, and a watch over it that asks the
// platform again only when the units written since the last reading could have brought it
// down to a floor.
#pragma once

#include <cstdint>
#include <string>

#include "engine/working_page.h"

namespace nd::engine {

// Free bytes the user can still write on volume `letter`; 0 when the query fails, which also
// leaves the trace tag DISKFREESPACEERROR and sets `*failed`. A sub-step that sees the query
// fail ends with its failure code: the volume has vanished, and reading the 0 as "full" would
// report a wipe that never happened.
uint64_t GetFreeSpace(JobEnvironment& job, const std::string& letter, bool* failed = nullptr);

// The query costs about as much as creating an empty file. A reading well above the floor
// stays good for the next few units, since none of them takes more than `most_per_unit`
// bytes; it is taken again after `recheck_every` units, and before every unit once the floor
// is that close.
class FreeSpaceWatch {
 public:
  FreeSpaceWatch(JobEnvironment& job, std::string letter, uint64_t floor, uint64_t most_per_unit,
                 int64_t recheck_every)
      : job_(job),
        letter_(std::move(letter)),
        floor_(floor),
        most_per_unit_(most_per_unit),
        recheck_every_(recheck_every),
        since_(recheck_every) {}

  // Whether the free space is below the floor now, with the next unit counted as written.
  bool Below() {
    if (since_ >= recheck_every_ ||
        last_ < floor_ + static_cast<uint64_t>(since_ + 1) * most_per_unit_) {
      last_ = GetFreeSpace(job_, letter_, &failed_);
      since_ = 0;
    }
    ++since_;
    return last_ < floor_;
  }
  // The last query failed (the volume vanished).
  bool Failed() const { return failed_; }
  uint64_t Last() const { return last_; }

 private:
  JobEnvironment& job_;
  std::string letter_;
  uint64_t floor_;
  uint64_t most_per_unit_;
  int64_t recheck_every_;
  int64_t since_;
  uint64_t last_ = 0;
  bool failed_ = false;
};

}  // namespace nd::engine
