// The text and byte formats behind the volume enumeration, as plain functions: the kernel's
// mount table, the choice and lettering of volumes, and the labels and serials that boot
// sectors and superblocks carry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nd::platform::internal {

struct MountRecord {
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;         // the part of the filesystem mounted here ("/" unless a bind mount)
  std::string mount_point;  // escapes such as \040 decoded
  std::string fs_type;
  std::string source;
};

// One record per line of /proc/self/mountinfo; lines that do not parse are skipped.
std::vector<MountRecord> ParseMountInfo(std::string_view text);

enum class MountKind { kNone, kBlock, kNetwork, kRam, kOptical };

// What a mount is by its filesystem type and source; pseudo filesystems are kNone.
MountKind KindOf(const MountRecord& mount);

// The volumes among `mounts`, one per filesystem (bind mounts dropped), restricted to
// `allowed` mount points when that is set.
std::vector<MountRecord> SelectVolumes(const std::vector<MountRecord>& mounts,
                                       const std::optional<std::vector<std::string>>& allowed);

struct Lettered {
  std::string letter;  // empty when the letters ran out
  MountRecord mount;
};

// "C" for the volume with the device numbers of the application-data folder (`system_dev`),
// then "D" to "Z" for the others by mount point.
std::vector<Lettered> AssignLetters(std::vector<MountRecord> volumes, unsigned system_major,
                                    unsigned system_minor);

// Colon-separated mount points, empty entries dropped; nothing when the variable is unset.
std::optional<std::vector<std::string>> ParseMountList(const char* value);

// What the first 4096 bytes of a device tell about its filesystem.
struct DeviceFacts {
  std::string file_system;  // "NTFS", "FAT32", "FAT", "exFAT", "ext" or empty
  std::string label;
  std::optional<int32_t> serial;
};
DeviceFacts DecodeDeviceStart(std::string_view bytes);

// The serial taken from a filesystem UUID's text: its first eight hex digits.
std::optional<int32_t> SerialFromUuid(std::string_view uuid);

// Decodes the \xHH escapes of udev's by-label link names.
std::string DecodeUdevName(std::string_view name);

}  // namespace nd::platform::internal
