// The disk page's tiles: one per usable volume, the selection stored per drive letter, and the
// timer that rebuilds the row when a volume comes or goes.
#pragma once

#include <string>

#include "platform/os_volumes.h"
#include "wizard/start_form.h"

namespace nd::wizard {

// The picture a volume's tile shows; empty for a volume of unknown type, whose tile keeps the
// picture it was copied with.
std::string DiskIconFor(const VolumeInfo& volume);

// A byte count as people read a disk's size: three figures at most and a decimal unit, as the
// makers count ("7.5 GB", "931 GB", "512 B").
std::string VolumeSizeText(double bytes);

// What the tile's letter and icon say while the pointer rests on them: the mount point, the
// label (when there is one), the file system and the size, one per line.
std::string DiskToolTip(const VolumeInfo& volume);

// Rebuilds every tile from the volumes and the stored selection, then sweeps the work folders
// that an interrupted run left behind.
void RefreshDiskList(Start& w);
// The selected letters in tile order, without separators; empty when none is selected.
std::string SelectedDiskLetters(const Start& w);
// DiskImage_Click and DiskLabel_Click: toggles tile `i`.
void DiskTile_Click(Start& w, int i);
void DiskListRefresher_Timer(Start& w);

}  // namespace nd::wizard
