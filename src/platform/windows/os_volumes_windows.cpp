// Volumes are Windows' own drive letters: GetLogicalDriveStrings, GetDriveType,
// GetVolumeInformation and GetDiskFreeSpaceEx (the bytes available to the caller, so that disk
// quotas count).
#include <windows.h>

#include "platform/windows/volumes_windows.h"
// The other Windows headers build on the declarations of <windows.h>.
#include <winioctl.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/os_volumes.h"
#include "platform/windows/mount_list.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

// The serial each letter had at the latest enumeration: another volume under the same letter
// (a stick pulled and another put in) is not the one the job was cleaning.
std::mutex g_mutex;
std::map<char, DWORD> g_serials;

// No "insert a disk" box for an empty card reader or CD drive: the call fails instead.
class QuietErrors {
 public:
  QuietErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_); }
  ~QuietErrors() { ::SetThreadErrorMode(old_, nullptr); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  DWORD old_ = 0;
};

// "D:\" for a letter the system lists now; empty otherwise.
std::wstring ListedRoot(std::string_view letter) {
  std::string root = win::DriveRoot(letter);
  if (root.empty()) return {};
  const DWORD drives = ::GetLogicalDrives();
  if ((drives & (1u << (root[0] - 'A'))) == 0) return {};
  return win::Widen(root);
}

struct VolumeFacts {
  bool ready = false;
  std::string label;
  std::string file_system;
  DWORD serial = 0;
  DWORD flags = 0;
};

VolumeFacts ReadFacts(const std::wstring& root) {
  VolumeFacts facts;
  wchar_t label[MAX_PATH + 1] = {};
  wchar_t file_system[MAX_PATH + 1] = {};
  DWORD max_component = 0;
  facts.ready =
      ::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, &facts.serial, &max_component,
                              &facts.flags, file_system, MAX_PATH + 1) != FALSE;
  if (facts.ready) {
    facts.label = win::Narrow(label);
    facts.file_system = win::Narrow(file_system);
  }
  return facts;
}

}  // namespace

namespace win {

int DriveTypeCode(UINT windows_type) {
  switch (windows_type) {
    case DRIVE_REMOVABLE:
      return kDriveRemovable;
    case DRIVE_FIXED:
      return kDriveFixed;
    case DRIVE_REMOTE:
      return kDriveNetwork;
    case DRIVE_CDROM:
      return kDriveCdRom;
    case DRIVE_RAMDISK:
      return kDriveRamDisk;
    default:
      return kDriveUnknown;
  }
}

std::vector<std::string> LogicalDriveRoots() {
  std::vector<std::string> roots;
  DWORD needed = ::GetLogicalDriveStringsW(0, nullptr);
  if (needed == 0) return roots;
  std::wstring buffer(needed + 1, L'\0');
  DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (n == 0 || n > buffer.size()) return roots;
  for (size_t at = 0; at < n && buffer[at] != L'\0';) {
    size_t end = buffer.find(L'\0', at);
    std::string root = DriveRoot(Narrow(std::wstring_view(buffer).substr(at, end - at)));
    if (!root.empty()) roots.push_back(root);
    at = end + 1;
  }
  return roots;
}

}  // namespace win

std::vector<VolumeInfo> EnumerateVolumes() {
  try {
    QuietErrors quiet;
    auto allowed = win::ParseDriveList(win::EnvValue(L"NULLDRIFT_MOUNTS"));
    std::vector<VolumeInfo> volumes;
    std::map<char, DWORD> serials;
    // GetLogicalDriveStrings answers in letter order.
    for (const std::string& root : win::LogicalDriveRoots()) {
      if (allowed && std::find(allowed->begin(), allowed->end(), root) == allowed->end()) continue;
      std::wstring wroot = win::Widen(root);
      VolumeInfo info;
      info.DriveLetter = root.substr(0, 1);
      info.RootPath = root;
      info.DriveType = win::DriveTypeCode(::GetDriveTypeW(wroot.c_str()));
      VolumeFacts facts = ReadFacts(wroot);
      ULARGE_INTEGER available{};
      ULARGE_INTEGER total{};
      ULARGE_INTEGER free{};
      info.IsReady =
          facts.ready && ::GetDiskFreeSpaceExW(wroot.c_str(), &available, &total, &free) != FALSE;
      if (info.IsReady) {
        info.TotalSize = static_cast<double>(total.QuadPart);
        info.AvailableSpace = available.QuadPart;
        info.FileSystem = facts.file_system;
        info.VolumeName = facts.label;
        info.SerialNumber = static_cast<int32_t>(facts.serial);
        serials[root[0]] = facts.serial;
      }
      volumes.push_back(std::move(info));
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_serials = std::move(serials);
    return volumes;
  } catch (...) {  // out of memory: no volumes rather than a crash
    return {};
  }
}

std::string VolumeRoot(std::string_view letter) {
  try {
    return win::Narrow(ListedRoot(letter));
  } catch (...) {
    return {};
  }
}

std::optional<uint64_t> FreeSpace(std::string_view letter) {
  try {
    QuietErrors quiet;
    std::wstring root = ListedRoot(letter);
    if (root.empty()) return std::nullopt;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      auto known = g_serials.find(static_cast<char>(root[0]));
      if (known != g_serials.end()) {
        VolumeFacts facts = ReadFacts(root);
        if (!facts.ready || facts.serial != known->second) return std::nullopt;
      }
    }
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<uint64_t> ClusterSize(std::string_view letter) {
  try {
    QuietErrors quiet;
    std::wstring root = ListedRoot(letter);
    DWORD sectors_per_cluster = 0;
    DWORD bytes_per_sector = 0;
    DWORD free_clusters = 0;
    DWORD clusters = 0;
    if (root.empty() || !::GetDiskFreeSpaceW(root.c_str(), &sectors_per_cluster, &bytes_per_sector,
                                             &free_clusters, &clusters)) {
      return std::nullopt;
    }
    uint64_t bytes = static_cast<uint64_t>(sectors_per_cluster) * bytes_per_sector;
    if (bytes == 0) return std::nullopt;
    return bytes;
  } catch (...) {
    return std::nullopt;
  }
}

// Windows file systems keep no pool that the user could set aside.
std::optional<uint64_t> SetAsideReservedPool(std::string_view) { return std::nullopt; }
void RestoreReservedPool(std::string_view, uint64_t) {}
void RestoreForgottenReservedPools() {}

// Flushing a whole volume takes a handle to the volume itself, which only an administrator
// gets (and Wine refuses with ERROR_INVALID_FUNCTION); the work folder flushes each of its files
// instead and does not depend on this.
bool FlushFileSystem(const std::string& path) {
  std::wstring wide = win::WidePath(path);
  if (wide.empty()) return false;
  wchar_t mount[MAX_PATH + 1] = {};
  if (!::GetVolumePathNameW(wide.c_str(), mount, MAX_PATH + 1)) return false;
  std::wstring volume(mount);
  if (volume.size() < 2 || volume[1] != L':') return false;
  std::wstring device = L"\\\\.\\" + volume.substr(0, 2);
  win::Handle handle(::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
  return handle && ::FlushFileBuffers(handle.get());
}

bool DisableCompression(const std::string& folder) {
  std::wstring wide = win::WidePath(folder);
  if (wide.empty()) return false;
  win::Handle handle(::CreateFileW(
      wide.c_str(), FILE_READ_DATA | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return false;
  return win::ClearCompression(handle.get());
}

namespace win {

bool ClearCompression(HANDLE folder) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(folder, &info)) return false;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
  USHORT format = COMPRESSION_FORMAT_NONE;
  DWORD returned = 0;
  if (::DeviceIoControl(folder, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0,
                        &returned, nullptr)) {
    return true;
  }
  // A file system that cannot compress (FAT, exFAT) refuses the request: nothing to clear.
  return (info.dwFileAttributes & FILE_ATTRIBUTE_COMPRESSED) == 0;
}

}  // namespace win

VolumeNamingHelp VolumeNamingHelpText() {
  return {
      "Makes deleted files on the given volumes unrecoverable. Every VOLUME is a drive letter\n"
      "as the program shows it, alone, with its colon or as the drive's root (D, E:, F:\\).\n"
      "Only files the program writes itself are ever deleted; existing files are not touched.\n",
      "  NULLDRIFT_MOUNTS   drive roots separated by \";\" (D:\\;E:\\); only these drives are\n"
      "                     volumes\n"};
}

}  // namespace nd::platform
