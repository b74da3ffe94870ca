// Sub-step 1 of every volume: many small files with long names, so that the file-table
// records and directory entries of deleted small files are written over.
#pragma once

#include <cstdint>
#include <string>

#include "engine/sub_step.h"

namespace nd::engine {

struct SmallFileCountInput {
  double total_size = 0;
  NtfsMode ntfs_mode = NtfsMode::kFew;
  bool removable = false;
  uint64_t free_space = 0;
};

// N: one file per 10,000 bytes of volume size, capped by the mode, a hundredth of that on a
// removable volume with less than 33 GB free, at least 1. The pass writes N + 1 files.
int64_t SmallFileCount(const SmallFileCountInput& in);

// The name of file i: "bo" + i + "-" + the digits 0-9 ten times + ".$$$".
std::string SmallFileName(int64_t i);

// Failure: code 4. A full directory or inode table ends the pass normally while at least
// 50,000,000 bytes are free: every reusable entry has then been written.
void SmallFilePass(JobEnvironment& job, const SubStepInput& in);

}  // namespace nd::engine
