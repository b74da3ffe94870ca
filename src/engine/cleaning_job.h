// The cleaning job: the volumes in the order they were selected, each with its estimate, work
// folder, four sub-steps, log line, measured speed and result row, then the report.
#pragma once

#include <string>

#include "engine/working_page.h"

namespace nd::engine {

// 2 when the stored way is "7", else 1.
CleanWay CleanWayOf(const std::string& stored);
// 2 for "2", 3 for "3", else 1.
NtfsMode NtfsModeOf(const std::string& stored);

// What the one-shot start timer does once it has disabled itself: the wastebasket, the volume
// list, the Stop button, the job. `letters` are the selected volumes, one letter each.
void StartCleaningJob(JobEnvironment& job, const std::string& letters);

// The job proper, from the stand-by hook to the report page.
void CleaningJob(JobEnvironment& job, const std::string& letters);

// Sub-step `index` (0-3) of one volume with its captions, pictures and progress frame.
struct SubStepInput;
void RunSubStep(JobEnvironment& job, const SubStepInput& in);

}  // namespace nd::engine
