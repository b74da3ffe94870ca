// The text and byte formats behind the volume enumeration, as plain functions: the kernel's
// mount table, the choice and lettering of volumes, and the names, labels and serials that boot
// sectors and superblocks carry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nd::platform::internal {

struct MountRecord {
  unsigned id = 0;
  unsigned parent = 0;  // the mount this one sits on
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;         // the part of the filesystem mounted here ("/" unless a bind mount)
  std::string mount_point;  // escapes such as \040 decoded
  std::string fs_type;      // "fuseblk.ntfs" style when a FUSE filesystem names a subtype
  std::string source;
  std::string super_options;  // the filesystem's own options, e.g. "rw,resuid=1000"
};

// One record per line of /proc/self/mountinfo; lines that do not parse are skipped.
std::vector<MountRecord> ParseMountInfo(std::string_view text);

enum class MountKind { kNone, kBlock, kNetwork, kRam, kOptical };

// Who besides the holders of CAP_SYS_RESOURCE may write ext4's root reserve: the user and
// group of its resuid= and resgid= options (0 when not given).
struct ReserveOwners {
  unsigned uid = 0;
  unsigned gid = 0;
};
ReserveOwners ParseReserveOwners(std::string_view super_options);

// What a mount is by its filesystem type and source; pseudo filesystems are kNone.
MountKind KindOf(const MountRecord& mount);

// False for a mount that another was mounted over at the same place, and for everything
// mounted inside it: they are out of sight, and statvfs on their path answers for the top.
std::vector<bool> Visibility(const std::vector<MountRecord>& mounts);

// The volumes among the visible `mounts`, one per filesystem (bind mounts dropped),
// restricted to `allowed` mount points when that is set.
std::vector<MountRecord> SelectVolumes(const std::vector<MountRecord>& mounts,
                                       const std::optional<std::vector<std::string>>& allowed);

// The mount whose mount point is the longest prefix of the absolute `path`: the fallback for
// filesystems such as btrfs, whose files carry other device numbers than the mount table.
std::optional<MountRecord> MountHolding(const std::vector<MountRecord>& mounts,
                                        std::string_view path);

struct Lettered {
  std::string letter;  // empty when the letters ran out
  MountRecord mount;
};

// "C" for the volume with the device numbers of the application-data folder, then "D" to "Z"
// for the others by mount point; sorted by letter, the unlettered last.
std::vector<Lettered> AssignLetters(std::vector<MountRecord> volumes, unsigned system_major,
                                    unsigned system_minor);

// Colon-separated mount points, empty entries dropped; nothing when the variable is unset.
std::optional<std::vector<std::string>> ParseMountList(const char* value);

// What the first 4096 bytes of a device tell about its filesystem.
struct DeviceFacts {
  std::string file_system;  // "NTFS", "FAT32", "FAT", "exFAT", "ext" or empty
  std::string label;
  std::optional<int32_t> serial;
  uint64_t cluster_bytes = 0;       // ext: the allocation unit (larger than a block with bigalloc)
  uint64_t ntfs_volume_record = 0;  // NTFS: byte offset of the MFT record that holds the label
  uint32_t ntfs_record_bytes = 0;
};
DeviceFacts DecodeDeviceStart(std::string_view bytes);

// The label in NTFS's $Volume record (the record at `facts.ntfs_volume_record`), UTF-8.
std::string DecodeNtfsVolumeRecord(std::string_view record);

// The name users know a filesystem by: the kernel's type, refined by what the device says.
std::string FileSystemName(std::string_view fs_type, const DeviceFacts& facts);

// Whether `facts` were read from a filesystem called `name`, so that its label and serial may
// be trusted (a stray 0x55AA in an XFS superblock does not make it FAT).
bool FactsDescribe(std::string_view name, const DeviceFacts& facts);

// The serial taken from a filesystem UUID's text: its first eight hex digits, or for NTFS's
// sixteen-digit form the last eight (the low half of its serial).
std::optional<int32_t> SerialFromUuid(std::string_view uuid);

// statvfs's filesystem id folded to the 32 bits of a serial.
int32_t FoldFsid(uint64_t fsid);

// Decodes the \xHH escapes of udev's by-label link names.
std::string DecodeUdevName(std::string_view name);

}  // namespace nd::platform::internal
