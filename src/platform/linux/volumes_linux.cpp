// Volumes from the kernel's mount table, typed through sysfs, named and numbered from udev's
// links or the device's own first bytes; free space through statvfs.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/linux/volumes_parse.h"
#include "platform/volumes.h"

namespace nd::platform {
namespace {

using internal::MountKind;
using internal::MountRecord;

constexpr const char* kMountsVariable = "NULLDRIFT_MOUNTS";

// What FreeSpace needs of a volume, kept from the latest enumeration so that the query before
// every small file costs one statvfs and nothing more.
struct FreeSpaceProbe {
  std::string root;
  unsigned long fsid = 0;
  uint64_t reserved_bytes = 0;  // ext4's reserved clusters, which not even root may write
  std::string reserve_file;     // where ext4 shows that pool; empty elsewhere
  uint64_t cluster_bytes = 0;
};

std::mutex g_mutex;
std::map<std::string, FreeSpaceProbe> g_probes;

std::string ReadSmallFile(const std::string& path) {
  std::string text;
  ReadFileBytes(path, text);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

// The block device behind a mount: the mount's own numbers, or, for FUSE block filesystems
// such as ntfs-3g whose numbers are anonymous, the numbers of its source device.
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

int BlockDriveType(unsigned major_number, unsigned minor_number) {
  std::string sys = RealPath("/sys/dev/block/" + std::to_string(major_number) + ":" +
                             std::to_string(minor_number));
  if (sys.empty()) return kDriveFixed;
  std::string disk = IsRegularFile(sys + "/partition") ? sys.substr(0, sys.rfind('/')) : sys;
  std::string name = disk.substr(disk.rfind('/') + 1);
  if (name.rfind("sr", 0) == 0) return kDriveCdRom;
  if (ReadSmallFile(disk + "/removable") == "1" || disk.find("/usb") != std::string::npos) {
    return kDriveRemovable;
  }
  return kDriveFixed;
}

std::string ReadDeviceStart(const std::string& device) {
  std::string bytes(4096, '\0');
  int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ssize_t n = ::pread(fd, bytes.data(), bytes.size(), 0);
  ::close(fd);
  if (n < 2048) return {};
  bytes.resize(static_cast<size_t>(n));
  return bytes;
}

// The name of the link in /dev/disk/<folder> that points at `device`.
std::string UdevLinkName(const std::string& folder, const std::string& device) {
  std::string target = RealPath(device);
  std::string result;
  DIR* dir = ::opendir(("/dev/disk/" + folder).c_str());
  if (!dir || target.empty()) {
    if (dir) ::closedir(dir);
    return result;
  }
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    if (RealPath("/dev/disk/" + folder + "/" + entry->d_name) == target) {
      result = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return result;
}

std::string UdevFsType(unsigned major_number, unsigned minor_number) {
  std::string data;
  ReadFileBytes(
      "/run/udev/data/b" + std::to_string(major_number) + ":" + std::to_string(minor_number), data);
  size_t at = data.find("E:ID_FS_TYPE=");
  if (at == std::string::npos) return {};
  at += 13;
  return data.substr(at, data.find('\n', at) - at);
}

std::string ReservedClustersFile(const MountRecord& mount) {
  if (mount.fs_type != "ext4" && mount.fs_type != "ext3" && mount.fs_type != "ext2") return {};
  std::string device = RealPath(mount.source);
  std::string file = "/sys/fs/ext4/" + device.substr(device.rfind('/') + 1) + "/reserved_clusters";
  return IsRegularFile(file) ? file : std::string();
}

uint64_t ReadClusters(const std::string& file) {
  if (file.empty()) return 0;
  return std::strtoull(ReadSmallFile(file).c_str(), nullptr, 10);
}

// Clusters are blocks unless the filesystem uses bigalloc, which is rare enough to ignore.
FreeSpaceProbe ProbeOf(const std::string& root, const MountRecord* mount,
                       const struct statvfs& st) {
  FreeSpaceProbe probe{root, st.f_fsid, 0, {}, st.f_frsize};
  if (mount) probe.reserve_file = ReservedClustersFile(*mount);
  probe.reserved_bytes = ReadClusters(probe.reserve_file) * probe.cluster_bytes;
  return probe;
}

unsigned long FsidOf(const struct statvfs& st) { return st.f_fsid; }

uint64_t WritableBytes(const struct statvfs& st, uint64_t reserved) {
  static const bool root = ::geteuid() == 0;
  if (!root) return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  uint64_t free = static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
  return free > reserved ? free - reserved : 0;
}

void FillDetails(VolumeInfo& info, const MountRecord& mount, const struct statvfs& st) {
  MountKind kind = internal::KindOf(mount);
  info.FileSystem = mount.fs_type;
  info.SerialNumber = static_cast<int32_t>(static_cast<uint32_t>(st.f_fsid) ^
                                           static_cast<uint32_t>(uint64_t{st.f_fsid} >> 32));
  if (kind == MountKind::kRam) info.DriveType = kDriveRamDisk;
  if (kind == MountKind::kOptical) info.DriveType = kDriveCdRom;
  if (kind == MountKind::kNetwork) info.DriveType = kDriveNetwork;
  if (kind != MountKind::kBlock) return;
  unsigned major_number = 0;
  unsigned minor_number = 0;
  if (!BlockDevice(mount, major_number, minor_number)) return;
  info.DriveType = BlockDriveType(major_number, minor_number);
  internal::DeviceFacts facts = internal::DecodeDeviceStart(ReadDeviceStart(mount.source));
  std::string udev_type = UdevFsType(major_number, minor_number);
  if (mount.fs_type == "ntfs" || mount.fs_type == "ntfs3" || facts.file_system == "NTFS" ||
      (mount.fs_type == "fuseblk" && udev_type == "ntfs")) {
    info.FileSystem = "NTFS";
  } else if (mount.fs_type == "vfat" || mount.fs_type == "msdos") {
    info.FileSystem = facts.file_system == "FAT" ? "FAT" : "FAT32";
  } else if (mount.fs_type == "exfat") {
    info.FileSystem = "exFAT";
  }
  std::string label = UdevLinkName("by-label", mount.source);
  info.VolumeName = label.empty() ? facts.label : internal::DecodeUdevName(label);
  bool fat_like = info.FileSystem == "NTFS" || info.FileSystem.rfind("FAT", 0) == 0 ||
                  info.FileSystem == "exFAT";
  std::optional<int32_t> serial = facts.serial;
  if (!fat_like || !serial) {
    if (auto from_uuid = internal::SerialFromUuid(UdevLinkName("by-uuid", mount.source))) {
      serial = from_uuid;
    }
  }
  if (serial) info.SerialNumber = *serial;
}

VolumeInfo Describe(const internal::Lettered& entry,
                    std::map<std::string, FreeSpaceProbe>& probes) {
  VolumeInfo info;
  info.DriveLetter = entry.letter;
  info.RootPath = entry.mount.mount_point;
  struct statvfs st {};
  info.IsReady = ::statvfs(info.RootPath.c_str(), &st) == 0;
  if (info.IsReady) {
    info.TotalSize = static_cast<double>(st.f_blocks) * static_cast<double>(st.f_frsize);
    FreeSpaceProbe probe = ProbeOf(info.RootPath, &entry.mount, st);
    info.AvailableSpace = WritableBytes(st, probe.reserved_bytes);
    if (!entry.letter.empty()) probes[entry.letter] = probe;
  }
  FillDetails(info, entry.mount, st);
  return info;
}

// The device numbers of the folder that decides which volume is "C".
bool SystemDevice(unsigned& major_number, unsigned& minor_number, std::string& folder) {
  folder = GetSpecialFolder(SpecialFolder::kAppData);
  struct stat st {};
  if (folder.empty() || ::stat(folder.c_str(), &st) != 0) return false;
  major_number = ::major(st.st_dev);
  minor_number = ::minor(st.st_dev);
  return true;
}

}  // namespace

std::vector<VolumeInfo> EnumerateVolumes() {
  std::string table;
  ReadFileBytes("/proc/self/mountinfo", table);
  std::vector<MountRecord> mounts = internal::ParseMountInfo(table);
  unsigned system_major = 0;
  unsigned system_minor = 0;
  std::string app_data;
  bool have_system = SystemDevice(system_major, system_minor, app_data);

  std::map<std::string, FreeSpaceProbe> probes;
  // "C" always answers for the application-data volume, listed or not.
  struct statvfs system_st {};
  if (have_system && ::statvfs(app_data.c_str(), &system_st) == 0) {
    FreeSpaceProbe probe = ProbeOf(app_data, nullptr, system_st);
    for (const MountRecord& m : internal::SelectVolumes(mounts, std::nullopt)) {
      if (m.major == system_major && m.minor == system_minor) {
        probe = ProbeOf(m.mount_point, &m, system_st);
      }
    }
    probes["C"] = probe;
  }

  auto allowed = internal::ParseMountList(std::getenv(kMountsVariable));
  std::vector<VolumeInfo> volumes;
  for (const internal::Lettered& entry :
       internal::AssignLetters(internal::SelectVolumes(mounts, allowed),
                               have_system ? system_major : ~0u, system_minor)) {
    VolumeInfo info = Describe(entry, probes);
    volumes.push_back(std::move(info));
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  g_probes = std::move(probes);
  return volumes;
}

std::string VolumeRoot(std::string_view letter) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_probes.find(std::string(letter));
    if (it != g_probes.end()) return it->second.root;
  }
  EnumerateVolumes();
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_probes.find(std::string(letter));
  return it == g_probes.end() ? std::string() : it->second.root;
}

std::optional<uint64_t> FreeSpace(std::string_view letter) {
  FreeSpaceProbe probe;
  {
    std::unique_lock<std::mutex> lock(g_mutex);
    auto it = g_probes.find(std::string(letter));
    if (it == g_probes.end()) {
      lock.unlock();
      EnumerateVolumes();
      lock.lock();
      it = g_probes.find(std::string(letter));
      if (it == g_probes.end()) return std::nullopt;
    }
    probe = it->second;
  }
  struct statvfs st {};
  if (::statvfs(probe.root.c_str(), &st) != 0) return std::nullopt;
  // Another filesystem answers where the volume was: it has been unmounted.
  if (FsidOf(st) != probe.fsid) return std::nullopt;
  return WritableBytes(st, probe.reserved_bytes);
}

std::optional<uint64_t> SetAsideReservedPool(std::string_view letter) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_probes.find(std::string(letter));
  if (::geteuid() != 0 || it == g_probes.end() || it->second.reserve_file.empty()) {
    return std::nullopt;
  }
  uint64_t clusters = ReadClusters(it->second.reserve_file);
  if (clusters == 0 || !WriteWholeFile(it->second.reserve_file, "0\n")) return std::nullopt;
  it->second.reserved_bytes = 0;
  return clusters;
}

void RestoreReservedPool(std::string_view letter, uint64_t clusters) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_probes.find(std::string(letter));
  if (it == g_probes.end() || it->second.reserve_file.empty()) return;
  WriteWholeFile(it->second.reserve_file, std::to_string(clusters) + "\n");
  it->second.reserved_bytes = ReadClusters(it->second.reserve_file) * it->second.cluster_bytes;
}

bool FlushFileSystem(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace nd::platform
