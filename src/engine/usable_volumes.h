// Which of the enumerated volumes the program offers and cleans.
#pragma once

#include "platform/os_volumes.h"

namespace nd::engine {

// A usable volume: removable, fixed, network or of unknown type, with a one-character letter,
// and ready.
inline bool IsUsableVolume(const VolumeInfo& v) {
  return v.DriveType >= kDriveUnknown && v.DriveType <= kDriveNetwork &&
         v.DriveLetter.size() == 1 && v.IsReady;
}

}  // namespace nd::engine
