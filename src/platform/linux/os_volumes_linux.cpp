// Volumes from the kernel's mount table, typed through sysfs, named and numbered from udev's
// links or the device's own first bytes; free space through statvfs.
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/files.h"
#include "platform/linux/volumes_parse.h"
#include "platform/os_environment.h"
#include "platform/os_volumes.h"

namespace nd::platform {
namespace {

using internal::DeviceFacts;
using internal::MountKind;
using internal::MountRecord;

constexpr const char* kMountsVariable = "NULLDRIFT_MOUNTS";

// What FreeSpace needs of a volume, kept from the latest enumeration so that the query before
// every small file costs one statvfs and nothing more.
struct FreeSpaceProbe {
  std::string root;
  uint64_t fsid = 0;
  uint64_t total_bytes = 0;   // tells filesystems apart where statvfs gives no fsid (FUSE)
  bool root_reserve = false;  // ext2/3/4: the privileged may write the blocks kept for root
  internal::ReserveOwners reserve_owners;
  uint64_t reserved_bytes = 0;  // ext4's reserved clusters, which not even root may write
  std::string reserve_file;     // where ext4 shows that pool; empty elsewhere
  uint64_t cluster_bytes = 0;
};

// While a fill has a pool set aside, its size waits in a record of its own under the
// run-time folder, locked by the fill, so that a start of the program after a crash can give
// the pool back. The folder is root's, as is setting the pool aside; it is empty after a boot,
// which also brings every pool back by itself.
constexpr const char* kReserveRecords = "/run/nulldrift";

std::string RecordPath(const std::string& reserve_file) {
  // "/sys/fs/ext4/<device>/reserved_clusters" is recorded as "<device>".
  std::string device = reserve_file.substr(0, reserve_file.rfind('/'));
  return std::string(kReserveRecords) + "/reserved-" + device.substr(device.rfind('/') + 1);
}

// Writes the record and keeps it locked; -1 when it cannot be made (then the pool stays).
int RecordReserve(const std::string& reserve_file, uint64_t clusters) {
  ::mkdir(kReserveRecords, 0700);
  struct stat st {};
  if (::lstat(kReserveRecords, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != 0 ||
      (st.st_mode & 022) != 0) {
    return -1;
  }
  std::string path = RecordPath(reserve_file);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  std::string text = std::to_string(clusters) + "\n";
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0 ||
      ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
      ::fsync(fd) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void DropRecord(const std::string& reserve_file, int& fd) {
  if (fd < 0) return;
  ::unlink(RecordPath(reserve_file).c_str());
  ::close(fd);
  fd = -1;
}

std::mutex g_mutex;
std::map<std::string, FreeSpaceProbe> g_probes;
// The records of the pools set aside now, by the pool's file; kept across enumerations.
std::map<std::string, int> g_reserve_records;

std::string ReadSmallFile(const std::string& path) {
  std::string text;
  ReadFileBytes(path, text);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool IsExtFamily(const std::string& fs_type) {
  return fs_type == "ext2" || fs_type == "ext3" || fs_type == "ext4";
}

bool HasSysResourceCapability() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  return ::syscall(SYS_capget, &header, data) == 0 &&
         (data[CAP_TO_INDEX(CAP_SYS_RESOURCE)].effective & CAP_TO_MASK(CAP_SYS_RESOURCE));
}

bool InGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  gid_t groups[256];
  int count = ::getgroups(256, groups);
  return count > 0 && std::find(groups, groups + count, gid) != groups + count;
}

// ext4 lets into its root reserve whoever is its resuid (root unless the volume names another
// user), the members of its resgid unless that is root's group, and the holders of
// CAP_SYS_RESOURCE. Not every root holds that capability: container runtimes drop it. The
// answer is kept while the effective user stays the same, so that the query before every small
// file adds one geteuid at most; a child that gives up root gets a fresh answer.
bool MayUseRootReserve(const internal::ReserveOwners& owners) {
  static std::mutex mutex;
  static long known_euid = -1;
  static internal::ReserveOwners known_owners;
  static bool known_answer = false;
  long euid = static_cast<long>(::geteuid());
  std::lock_guard<std::mutex> lock(mutex);
  if (euid == known_euid && owners.uid == known_owners.uid && owners.gid == known_owners.gid) {
    return known_answer;
  }
  known_answer = static_cast<unsigned long>(euid) == owners.uid ||
                 (owners.gid != 0 && InGroup(owners.gid)) || HasSysResourceCapability();
  known_euid = euid;
  known_owners = owners;
  return known_answer;
}

// The block device behind a mount: its source when that is a device node (ntfs-3g's fuseblk,
// btrfs whose table numbers are anonymous), else the numbers of the mount table.
bool BlockDevice(const MountRecord& mount, unsigned& major_out, unsigned& minor_out) {
  struct stat st {};
  if (::stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
    major_out = ::major(st.st_rdev);
    minor_out = ::minor(st.st_rdev);
    return true;
  }
  major_out = mount.major;
  minor_out = mount.minor;
  return mount.major != 0;
}

// Where sysfs shows the device, e.g. /sys/devices/virtual/block/loop0.
std::string SysfsDevice(unsigned major_number, unsigned minor_number) {
  return CanonicalPath("/sys/dev/block/" + std::to_string(major_number) + ":" +
                       std::to_string(minor_number));
}

int BlockDriveType(const std::string& sys) {
  if (sys.empty()) return kDriveFixed;
  // Removability is a property of the whole disk, not of its partitions.
  std::string disk = IsRegularFile(sys + "/partition") ? sys.substr(0, sys.rfind('/')) : sys;
  if (BaseName(disk).rfind("sr", 0) == 0) return kDriveCdRom;
  if (ReadSmallFile(disk + "/removable") == "1" || disk.find("/usb") != std::string::npos) {
    return kDriveRemovable;
  }
  return kDriveFixed;
}

std::string ReadDeviceBytes(const std::string& device, uint64_t offset, size_t size) {
  int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string bytes(size, '\0');
  struct stat st {};
  bool ok =
      ::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) &&
      ::pread(fd, bytes.data(), size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
  ::close(fd);
  return ok ? bytes : std::string();
}

// What the device's first bytes say, when we may read them (root, or the disk group).
DeviceFacts ReadDeviceFacts(const std::string& device) {
  DeviceFacts facts = internal::DecodeDeviceStart(ReadDeviceBytes(device, 0, 4096));
  if (facts.file_system == "NTFS" && facts.ntfs_record_bytes != 0) {
    facts.label = internal::DecodeNtfsVolumeRecord(
        ReadDeviceBytes(device, facts.ntfs_volume_record, facts.ntfs_record_bytes));
  }
  return facts;
}

// The name of the link in /dev/disk/<folder> that points at `device`.
std::string UdevLinkName(const std::string& folder, const std::string& device) {
  std::string target = CanonicalPath(device);
  DIR* dir = target.empty() ? nullptr : ::opendir(("/dev/disk/" + folder).c_str());
  if (!dir) return {};
  std::string result;
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    if (CanonicalPath("/dev/disk/" + folder + "/" + entry->d_name) == target) {
      result = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return result;
}

// udev's record of the device's filesystem, readable by everybody: names ntfs-3g's volumes
// when the device itself is closed to the user.
std::string UdevFsType(unsigned major_number, unsigned minor_number) {
  std::string data;
  ReadFileBytes(
      "/run/udev/data/b" + std::to_string(major_number) + ":" + std::to_string(minor_number), data);
  const std::string key = "E:ID_FS_TYPE=";
  size_t at = data.find(key);
  if (at == std::string::npos) return {};
  at += key.size();
  return data.substr(at, data.find('\n', at) - at);
}

uint64_t ReadClusters(const std::string& file) {
  if (file.empty()) return 0;
  return std::strtoull(ReadSmallFile(file).c_str(), nullptr, 10);
}

bool SameFilesystem(const FreeSpaceProbe& probe, const struct statvfs& st) {
  if (probe.fsid != 0) return st.f_fsid == probe.fsid;
  return static_cast<uint64_t>(st.f_blocks) * st.f_frsize == probe.total_bytes;
}

// ext4 counts its reserved clusters as free (f_bfree) although nobody may write them, and
// leaves them and the root reserve out of f_bavail. Elsewhere f_bavail is the honest answer:
// btrfs's f_bfree counts raw device space that its profiles cannot fill. ntfs-3g reports the
// same free clusters in both and all of them can be written into a file that exists already;
// creating a file may first take a few clusters for the MFT.
uint64_t WritableBytes(const FreeSpaceProbe& probe, const struct statvfs& st) {
  if (!probe.root_reserve || !MayUseRootReserve(probe.reserve_owners)) {
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  }
  uint64_t free = static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
  return free > probe.reserved_bytes ? free - probe.reserved_bytes : 0;
}

FreeSpaceProbe ProbeOf(const std::string& root, const struct statvfs& st) {
  FreeSpaceProbe probe;
  probe.root = root;
  probe.fsid = st.f_fsid;
  probe.total_bytes = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
  probe.cluster_bytes = st.f_frsize;
  return probe;
}

// The ext4 pool lives in /sys/fs/ext4/<kernel device name>. Its clusters are blocks unless the
// filesystem uses bigalloc; the superblock tells the cluster size when we may read it, else
// the block size stands in (an underestimate of the pool with bigalloc).
void AddExtReserve(FreeSpaceProbe& probe, const MountRecord& mount, const std::string& sys,
                   const DeviceFacts& facts) {
  probe.root_reserve = true;
  probe.reserve_owners = internal::ParseReserveOwners(mount.super_options);
  if (facts.cluster_bytes != 0) probe.cluster_bytes = facts.cluster_bytes;
  std::string file = "/sys/fs/ext4/" + BaseName(sys) + "/reserved_clusters";
  if (sys.empty() || !IsRegularFile(file)) return;
  probe.reserve_file = file;
  probe.reserved_bytes = ReadClusters(file) * probe.cluster_bytes;
}

std::optional<int32_t> SerialFromLinks(const std::string& device) {
  return internal::SerialFromUuid(UdevLinkName("by-uuid", device));
}

// Type, name, label and serial of a volume on a block device.
void DescribeBlock(VolumeInfo& info, FreeSpaceProbe& probe, const MountRecord& mount) {
  unsigned major_number = 0;
  unsigned minor_number = 0;
  bool known = BlockDevice(mount, major_number, minor_number);
  std::string sys = known ? SysfsDevice(major_number, minor_number) : std::string();
  info.DriveType = BlockDriveType(sys);
  DeviceFacts facts = ReadDeviceFacts(mount.source);
  if (facts.file_system.empty() && known) {
    std::string udev_type = UdevFsType(major_number, minor_number);
    if (udev_type == "ntfs") facts.file_system = "NTFS";
    if (udev_type == "exfat") facts.file_system = "exFAT";
  }
  info.FileSystem = internal::FileSystemName(mount.fs_type, facts);
  // An ordinary user cannot read the device, but ntfs-3g answers for the NTFS attributes of
  // any of its files, the root included.
  if (info.FileSystem.rfind("fuseblk", 0) == 0) {
    unsigned char attributes[4];
    if (::getxattr(mount.mount_point.c_str(), "system.ntfs_attrib_be", attributes,
                   sizeof attributes) == sizeof attributes) {
      info.FileSystem = "NTFS";
    }
  }
  bool trusted = internal::FactsDescribe(info.FileSystem, facts);
  std::string label = UdevLinkName("by-label", mount.source);
  info.VolumeName = !label.empty() ? internal::DecodeUdevName(label)
                    : trusted      ? facts.label
                                   : std::string();
  // FAT and NTFS keep their serial in the boot sector; the others are known by their UUID.
  bool boot_serial = trusted && facts.file_system != "ext" && facts.serial;
  std::optional<int32_t> serial = boot_serial ? facts.serial : SerialFromLinks(mount.source);
  if (!serial && trusted) serial = facts.serial;
  if (serial) info.SerialNumber = *serial;
  if (IsExtFamily(mount.fs_type)) AddExtReserve(probe, mount, sys, trusted ? facts : DeviceFacts{});
}

// One volume as the enumeration lists it, and what FreeSpace needs to know of it.
VolumeInfo Describe(const MountRecord& mount, FreeSpaceProbe& probe) {
  VolumeInfo info;
  info.RootPath = mount.mount_point;
  info.FileSystem = mount.fs_type;
  struct statvfs st {};
  info.IsReady = ::statvfs(info.RootPath.c_str(), &st) == 0;
  if (info.IsReady) {
    info.TotalSize = static_cast<double>(st.f_blocks) * static_cast<double>(st.f_frsize);
    info.SerialNumber = internal::FoldFsid(st.f_fsid);
    probe = ProbeOf(info.RootPath, st);
  } else {
    probe.root = info.RootPath;
  }
  switch (internal::KindOf(mount)) {
    case MountKind::kRam:
      info.DriveType = kDriveRamDisk;
      break;
    case MountKind::kOptical:
      info.DriveType = kDriveCdRom;
      break;
    case MountKind::kNetwork:
      info.DriveType = kDriveNetwork;
      break;
    case MountKind::kBlock:
      DescribeBlock(info, probe, mount);
      break;
    case MountKind::kNone:
      break;
  }
  if (info.IsReady) info.AvailableSpace = WritableBytes(probe, st);
  return info;
}

// The filesystem that holds the application-data folder: by its device numbers, or by path
// where the filesystem gives its files numbers of their own (btrfs subvolumes).
std::optional<MountRecord> SystemVolume(const std::vector<MountRecord>& mounts,
                                        const std::vector<MountRecord>& volumes,
                                        const std::string& app_data) {
  struct stat st {};
  if (app_data.empty() || ::stat(app_data.c_str(), &st) != 0) return std::nullopt;
  for (const MountRecord& volume : volumes) {
    if (volume.major == ::major(st.st_dev) && volume.minor == ::minor(st.st_dev)) return volume;
  }
  return internal::MountHolding(mounts, CanonicalPath(app_data));
}

// "C" answers for the application-data volume even where the listing leaves it out.
void ProbeUnlistedSystemVolume(const std::optional<MountRecord>& system,
                               const std::string& app_data,
                               std::map<std::string, FreeSpaceProbe>& probes) {
  if (probes.contains("C")) return;
  FreeSpaceProbe probe;
  if (system && internal::KindOf(*system) != MountKind::kNone) {
    Describe(*system, probe);
  } else {
    struct statvfs st {};
    std::string root = system ? system->mount_point : app_data;
    if (root.empty() || ::statvfs(root.c_str(), &st) != 0) return;
    probe = ProbeOf(root, st);
  }
  if (!probe.root.empty()) probes["C"] = probe;
}

std::vector<VolumeInfo> Enumerate() {
  std::string table;
  if (!ReadFileBytes("/proc/self/mountinfo", table)) return {};
  std::vector<MountRecord> mounts = internal::ParseMountInfo(table);
  std::string app_data = GetSpecialFolder(SpecialFolder::kAppData);
  std::optional<MountRecord> system =
      SystemVolume(mounts, internal::SelectVolumes(mounts, std::nullopt), app_data);
  // Numbers no mount carries when the application-data volume is unknown.
  unsigned system_major = system ? system->major : ~0u;
  unsigned system_minor = system ? system->minor : ~0u;

  auto allowed = internal::ParseMountList(std::getenv(kMountsVariable));
  std::map<std::string, FreeSpaceProbe> probes;
  std::vector<VolumeInfo> volumes;
  for (internal::Lettered& entry : internal::AssignLetters(internal::SelectVolumes(mounts, allowed),
                                                           system_major, system_minor)) {
    FreeSpaceProbe probe;
    VolumeInfo info = Describe(entry.mount, probe);
    info.DriveLetter = entry.letter;
    if (!entry.letter.empty()) probes[entry.letter] = std::move(probe);
    volumes.push_back(std::move(info));
  }
  ProbeUnlistedSystemVolume(system, app_data, probes);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_probes = std::move(probes);
  return volumes;
}

std::optional<FreeSpaceProbe> CachedProbe(const std::string& letter) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_probes.find(letter);
  if (it == g_probes.end()) return std::nullopt;
  return it->second;
}

// The cached probe of `letter`, enumerating once when the letter is not known yet.
std::optional<FreeSpaceProbe> ProbeFor(std::string_view letter) {
  std::string key(letter);
  if (auto probe = CachedProbe(key)) return probe;
  Enumerate();
  return CachedProbe(key);
}

}  // namespace

std::vector<VolumeInfo> EnumerateVolumes() {
  try {
    return Enumerate();
  } catch (...) {  // out of memory: no volumes rather than a crash
    return {};
  }
}

std::string VolumeRoot(std::string_view letter) {
  try {
    auto probe = ProbeFor(letter);
    return probe ? probe->root : std::string();
  } catch (...) {
    return {};
  }
}

std::optional<uint64_t> FreeSpace(std::string_view letter) {
  try {
    auto probe = ProbeFor(letter);
    struct statvfs st {};
    if (!probe || ::statvfs(probe->root.c_str(), &st) != 0) return std::nullopt;
    // Another filesystem answers where the volume was: it has been unmounted.
    if (!SameFilesystem(*probe, st)) return std::nullopt;
    return WritableBytes(*probe, st);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<uint64_t> ClusterSize(std::string_view letter) {
  try {
    auto probe = ProbeFor(letter);
    if (!probe || probe->cluster_bytes == 0) return std::nullopt;
    return probe->cluster_bytes;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<uint64_t> SetAsideReservedPool(std::string_view letter) {
  try {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_probes.find(std::string(letter));
    if (::geteuid() != 0 || it == g_probes.end() || it->second.reserve_file.empty()) {
      return std::nullopt;
    }
    FreeSpaceProbe& probe = it->second;
    uint64_t clusters = ReadClusters(probe.reserve_file);
    if (clusters == 0) return std::nullopt;
    int& record = g_reserve_records[probe.reserve_file];
    record = RecordReserve(probe.reserve_file, clusters);
    if (record < 0) return std::nullopt;
    if (!WriteWholeFile(probe.reserve_file, "0\n")) {
      DropRecord(probe.reserve_file, record);
      return std::nullopt;
    }
    probe.reserved_bytes = 0;
    return clusters;
  } catch (...) {
    return std::nullopt;
  }
}

void RestoreReservedPool(std::string_view letter, uint64_t clusters) {
  try {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_probes.find(std::string(letter));
    if (it == g_probes.end() || it->second.reserve_file.empty()) return;
    FreeSpaceProbe& probe = it->second;
    if (WriteWholeFile(probe.reserve_file, std::to_string(clusters) + "\n")) {
      if (auto record = g_reserve_records.find(probe.reserve_file);
          record != g_reserve_records.end()) {
        DropRecord(probe.reserve_file, record->second);
        g_reserve_records.erase(record);
      }
    }
    probe.reserved_bytes = ReadClusters(probe.reserve_file) * probe.cluster_bytes;
  } catch (...) {
  }
}

void RestoreForgottenReservedPools() {
  if (::geteuid() != 0) return;
  DIR* dir = ::opendir(kReserveRecords);
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.rfind("reserved-", 0) == 0) names.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : names) {
    std::string path = std::string(kReserveRecords) + "/" + name;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    // A record still locked belongs to a fill that runs now.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      std::string device = name.substr(std::string_view("reserved-").size());
      std::string pool = "/sys/fs/ext4/" + device + "/reserved_clusters";
      char text[32] = {};
      ssize_t n = ::read(fd, text, sizeof text - 1);
      uint64_t clusters = n > 0 ? std::strtoull(text, nullptr, 10) : 0;
      bool plain_device = device.find_first_of("/.") == std::string::npos && !device.empty();
      if (clusters == 0 || !plain_device || !IsRegularFile(pool) ||
          WriteWholeFile(pool, std::to_string(clusters) + "\n")) {
        ::unlink(path.c_str());
      }
    }
    ::close(fd);
  }
}

bool FlushFileSystem(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::syncfs(fd) == 0;
  return ::close(fd) == 0 && ok;
}

VolumeNamingHelp VolumeNamingHelpText() {
  return {
      "Makes deleted files on the given volumes unrecoverable. Every VOLUME is a drive letter as\n"
      "the program shows it (D, E:, ...) or a mount point (/media/stick). Only files the program\n"
      "writes itself are ever deleted; existing files are not touched.\n",
      "  NULLDRIFT_MOUNTS   colon-separated mount points; only these are volumes\n"};
}

}  // namespace nd::platform
