// Switching transparent compression off for the work folder: filler of spaces would otherwise
// take almost no room, and the fill would write far more than the free space it overwrites.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/os_volumes.h"

namespace nd::platform {
namespace {

constexpr uint32_t kNtfsCompressed = 0x800;

bool Unsupported(int error) {
  return error == ENOTTY || error == EOPNOTSUPP || error == EINVAL || error == ENOSYS;
}

// ntfs-3g shows the NTFS attributes as an extended attribute, big-endian.
bool ClearNtfsCompression(const std::string& folder) {
  unsigned char raw[4];
  ssize_t n = ::getxattr(folder.c_str(), "system.ntfs_attrib_be", raw, sizeof raw);
  if (n != 4) return true;  // not ntfs-3g
  uint32_t attributes = static_cast<uint32_t>(raw[0]) << 24 | static_cast<uint32_t>(raw[1]) << 16 |
                        static_cast<uint32_t>(raw[2]) << 8 | raw[3];
  if ((attributes & kNtfsCompressed) == 0) return true;
  attributes &= ~kNtfsCompressed;
  unsigned char updated[4] = {
      static_cast<unsigned char>(attributes >> 24), static_cast<unsigned char>(attributes >> 16),
      static_cast<unsigned char>(attributes >> 8), static_cast<unsigned char>(attributes)};
  return ::setxattr(folder.c_str(), "system.ntfs_attrib_be", updated, 4, 0) == 0;
}

}  // namespace

bool DisableCompression(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = true;
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
    int wanted = (flags & ~FS_COMPR_FL) | FS_NOCOMP_FL;
    if (wanted != flags && ::ioctl(fd, FS_IOC_SETFLAGS, &wanted) != 0) {
      // Filesystems that do not compress may still refuse the "no compression" flag.
      ok = (flags & FS_COMPR_FL) == 0;
    }
  } else if (!Unsupported(errno)) {
    ok = false;
  }
  ::close(fd);
  return ClearNtfsCompression(folder) && ok;
}

}  // namespace nd::platform
