// The user's wastebasket: emptied without asking, on every volume, before a cleaning job.
#pragma once

#include <string>

namespace nd::platform {

// Empties the user's Trash and the Trash folders at the top of every mounted volume. Every
// failure is skipped; nothing is reported. When NULLDRIFT_MOUNTS is set (mount points separated
// by ':'), only the volumes mounted at those points are visited; the user's own Trash below
// XDG_DATA_HOME is emptied either way.
void EmptyTrash() noexcept;

// Empties the Trash folders that belong to this user at the top of the volume mounted at `top`:
// .Trash-<uid>, and .Trash/<uid> when .Trash is a shared folder with the sticky bit.
void EmptyVolumeTrash(const std::string& top) noexcept;

}  // namespace nd::platform
