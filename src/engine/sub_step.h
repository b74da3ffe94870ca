// What every sub-step of a volume's cleaning is given, and the free-space query they share.
#pragma once

#include <cstdint>
#include <string>

#include "engine/working_page.h"

namespace nd::engine {

struct SubStepInput {
  int step = 0;  // 0-3, the slot of its status picture
  std::string drive_letter;
  WorkFolderHandle* folder = nullptr;  // the volume's work folder, open for the whole run
  int ntfs_mode = 1;
  bool removable = false;
  double total_size = 0;
  uint64_t available_space = 0;
  std::string file_system;
};

// Free bytes the user can still write on volume `letter`; 0 when the query fails, which also
// leaves the trace tag DISKFREESPACEERROR and sets `*failed`. A sub-step that sees the query
// fail ends with its failure code: the volume has vanished, and reading the 0 as "full" would
// report a wipe that never happened.
uint64_t GetFreeSpace(JobEnvironment& job, const std::string& letter, bool* failed = nullptr);

}  // namespace nd::engine
