// The mounted volumes as the program sees them, one drive letter each, with type, sizes,
// file-system name, label and serial; and the free space the running user can really still
// write on one of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nd {

// The platform's drive-type codes.
inline constexpr int kDriveUnknown = 0;
inline constexpr int kDriveRemovable = 1;
inline constexpr int kDriveFixed = 2;
inline constexpr int kDriveNetwork = 3;
inline constexpr int kDriveCdRom = 4;
inline constexpr int kDriveRamDisk = 5;

// One mounted volume as the enumeration reports it.
struct VolumeInfo {
  std::string DriveLetter;  // without colon; one upper-case letter, or empty when none is left
  int DriveType = kDriveUnknown;
  bool IsReady = false;
  double TotalSize = 0;
  uint64_t AvailableSpace = 0;
  std::string FileSystem;  // "NTFS", "FAT32", "exFAT", "ext4", …
  std::string VolumeName;  // the label, may be empty
  int32_t SerialNumber = 0;
  std::string RootPath;  // where the volume is mounted
};

namespace platform {

// Every volume, in ascending drive-letter order. "C" is the volume that holds the user's
// application-data folder; the others get "D", "E", … ordered by mount point. When
// NULLDRIFT_MOUNTS (colon-separated mount points) is set, only those mounts are listed, but
// "C" stays reserved for the application-data volume and keeps answering FreeSpace.
std::vector<VolumeInfo> EnumerateVolumes();

// The folder at which volume `letter` is mounted; empty when no volume has that letter.
std::string VolumeRoot(std::string_view letter);

// The bytes the running user can really still write on volume `letter`: on ext2/3/4 those who
// may use the root reserve (its resuid or resgid, usually root, or CAP_SYS_RESOURCE) get it,
// less the filesystem's reserved clusters; everybody else, and every other filesystem, gets
// what statvfs calls available. Costs one statvfs (and a geteuid on ext2/3/4). nullopt when the
// letter is unknown, the query fails, or another filesystem is now mounted where the volume was
// (it vanished).
std::optional<uint64_t> FreeSpace(std::string_view letter);

// The unit in which the file system of volume `letter` hands out space (ext4's cluster with
// bigalloc, FAT's and NTFS's cluster); nullopt when the letter is unknown.
std::optional<uint64_t> ClusterSize(std::string_view letter);

// ext4 keeps a pool of clusters (up to 16 MiB) for its own use that nobody may write, so the
// deleted data in that many free clusters would survive a fill. Root may set the pool aside
// for a moment: returns its size to restore, or nothing where there is no such pool or it
// cannot be changed. FreeSpace counts the pool while it is set aside.
std::optional<uint64_t> SetAsideReservedPool(std::string_view letter);
void RestoreReservedPool(std::string_view letter, uint64_t clusters);
// Gives back the pools that a fill set aside and could not restore (it was killed, or the
// machine lost power mid-fill); a pool whose fill still runs is left alone. Root only.
void RestoreForgottenReservedPools();

// Writes everything cached for the filesystem that holds `path` to its device.
bool FlushFileSystem(const std::string& path);

// Asks the filesystem not to compress what is written into `folder` from now on (btrfs,
// NTFS through ntfs-3g). True when it is off afterwards or the filesystem never compresses.
bool DisableCompression(const std::string& folder);

// How the command line names a volume here and what NULLDRIFT_MOUNTS holds, as the help text
// says it: whole lines, each ending in a newline.
struct VolumeNamingHelp {
  std::string_view volumes;  // the opening paragraph, "Makes deleted files ..."
  std::string_view mounts;   // the NULLDRIFT_MOUNTS line of the environment list
};
VolumeNamingHelp VolumeNamingHelpText();

}  // namespace platform
}  // namespace nd
