// The end-of-job sound: a WAV file played without waiting for it to finish.
#pragma once

#include <string>

namespace nd::platform {

// Starts playing `path` and returns at once; a sound still playing from an earlier call is cut
// off first. A missing or unplayable file, or no sound service, gives silence.
void PlaySoundFile(const std::string& path) noexcept;

}  // namespace nd::platform
