// What every sub-step of a volume's cleaning is given.
#pragma once

#include <cstdint>
#include <string>

#include "engine/free_space.h"
#include "engine/working_page.h"

namespace nd::engine {

struct SubStepInput {
  SubStep step = SubStep::kSmallFiles;
  std::string drive_letter;
  WorkFolderHandle* folder = nullptr;  // the volume's work folder, open for the whole run
  NtfsMode ntfs_mode = NtfsMode::kFew;
  bool removable = false;
  double total_size = 0;
  uint64_t available_space = 0;
  std::string file_system;
};

}  // namespace nd::engine
