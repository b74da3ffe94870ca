// Sub-steps 2 and 3 of cleaning way 2: the copy source in the data folder, then the fill of
// the volume's free space in three phases of decreasing grain.
#pragma once

#include <cstdint>

#include "engine/sub_step.h"

namespace nd::engine {

// 5,000,000 bytes on a removable volume, otherwise 50,000,000.
uint64_t FillThreshold(bool removable);

std::string CopySourcePath(const Environment& env);

// Writes floor(T / 1000) lines of the source block into "temp.xd". Failure: code 5.
void BuildCopySource(JobEnvironment& job, const SubStepInput& in);

// Fills the volume until at most 3000 bytes are free. Failure: code 3.
void FillFreeSpace(JobEnvironment& job, const SubStepInput& in);

}  // namespace nd::engine
