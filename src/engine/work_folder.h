// The folder on each volume that holds everything the job writes there: where it lies, its
// set-up test, its removal in sub-step 4, and the sweep of folders an interrupted run left.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/sub_step.h"

namespace nd::engine {

inline constexpr std::string_view kWorkFolderName = "NDRF_temp";

// NDRF_temp beside the data folder for the system volume, else in the volume's root; empty
// when the volume's root is not known.
std::string WorkFolderPath(const Environment& env, VolumeAccess& volumes,
                           const std::string& letter);

// Opens the folder (creating it when missing), takes it for this job and proves that it can
// be written. nullptr: the volume's preparation failed, for the reason in `why`.
std::unique_ptr<WorkFolderHandle> SetUpWorkFolder(VolumeAccess& volumes, const std::string& path,
                                                  FolderRefusal& why);

// The report text for a preparation that failed for `why`; empty where the general one says it.
std::string RefusalText(const Context& context, FolderRefusal why);

// Sub-step 4: flushes the volume, deletes every file of the folder and removes it. Failure:
// code 6. A stop does not shorten it.
void ClearWorkFolder(JobEnvironment& job, const SubStepInput& in);

// Removes the work folders that an interrupted run left on the usable volumes, telling the user
// before and after each one. A folder that is not ours, or that a running cleaning holds, is
// left alone and handed to `skipped` with the reason.
// With `only_letters`, just the volumes of those letters.
using SkippedFolder = std::function<void(const std::string& folder, FolderState state)>;
void RemoveLeftoverWorkFolders(const Context& context, ui::Host& host, VolumeAccess& volumes,
                               const SkippedFolder& skipped = {},
                               std::string_view only_letters = {});

}  // namespace nd::engine
