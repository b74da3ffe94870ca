// POSIX implementation of the cleaning job's file operations.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/work_files.h"

namespace nd::platform {
namespace {

// FUSE filesystems such as ntfs-3g move buffered writes one page at a time through user
// space; direct writes reach them in large requests and run several times faster.
constexpr long kFuseMagic = 0x65735546;
constexpr size_t kCopyChunk = size_t{4} << 20;
constexpr size_t kDirectAlign = 4096;
constexpr size_t kWriterBuffer = size_t{1} << 20;

bool Unusable(const std::string& path) {
  return path.empty() || path.find('\0') != std::string::npos;
}

IoStatus StatusOf(int error) {
  return (error == ENOSPC || error == EDQUOT) ? IoStatus::kNoSpace : IoStatus::kFailed;
}

IoStatus WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return StatusOf(errno);
    }
    if (n == 0) return IoStatus::kNoSpace;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return IoStatus::kOk;
}

// close() is where NFS and some FUSE filesystems report a full volume.
IoStatus CloseChecked(int fd, IoStatus so_far) {
  if (::close(fd) != 0 && so_far == IoStatus::kOk && errno != EINTR) return StatusOf(errno);
  return so_far;
}

IoStatus WriteFile(const std::string& path, std::string_view data, int flags) {
  if (Unusable(path)) return IoStatus::kFailed;
  int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return StatusOf(errno);
  return CloseChecked(fd, WriteAll(fd, data.data(), data.size()));
}

struct AlignedBuffer {
  explicit AlignedBuffer(size_t size) {
    if (::posix_memalign(&data, kDirectAlign, size) != 0) data = nullptr;
  }
  ~AlignedBuffer() { std::free(data); }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  void* data = nullptr;
};

bool OnFuse(int fd) {
  struct statfs st {};
  return ::fstatfs(fd, &st) == 0 && st.f_type == kFuseMagic;
}

// Reads up to `size` bytes, short only at the end of the file.
ssize_t ReadFull(int fd, char* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, buffer + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

IoStatus CopyData(int in, int out) {
  AlignedBuffer buffer(kCopyChunk);
  if (!buffer.data) return IoStatus::kFailed;
  char* bytes = static_cast<char*>(buffer.data);
  bool direct = OnFuse(out) && ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) | O_DIRECT) == 0;
  for (;;) {
    ssize_t n = ReadFull(in, bytes, kCopyChunk);
    if (n < 0) return IoStatus::kFailed;
    if (n == 0) return IoStatus::kOk;
    size_t size = static_cast<size_t>(n);
    if (direct && size % kDirectAlign != 0) {
      // Direct writes need whole blocks: the aligned part still goes direct, and only the
      // file's last partial block goes through the cache.
      size_t aligned = size - size % kDirectAlign;
      if (IoStatus status = WriteAll(out, bytes, aligned); status != IoStatus::kOk) return status;
      ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) & ~O_DIRECT);
      direct = false;
      bytes += aligned;
      size -= aligned;
    }
    if (IoStatus status = WriteAll(out, bytes, size); status != IoStatus::kOk) return status;
    bytes = static_cast<char*>(buffer.data);
  }
}

class PosixFileWriter final : public FileWriter {
 public:
  explicit PosixFileWriter(int fd) : fd_(fd) { buffer_.reserve(kWriterBuffer); }
  ~PosixFileWriter() override {
    if (fd_ >= 0) Close();
  }
  PosixFileWriter(const PosixFileWriter&) = delete;
  PosixFileWriter& operator=(const PosixFileWriter&) = delete;

  IoStatus Write(std::string_view data) override {
    if (fd_ < 0) return IoStatus::kFailed;
    if (buffer_.size() + data.size() > kWriterBuffer) {
      if (IoStatus status = Flush(); status != IoStatus::kOk) return status;
    }
    if (data.size() >= kWriterBuffer) return WriteAll(fd_, data.data(), data.size());
    buffer_.append(data);
    return IoStatus::kOk;
  }

  IoStatus Close() override {
    if (fd_ < 0) return IoStatus::kFailed;
    IoStatus status = Flush();
    status = CloseChecked(fd_, status);
    fd_ = -1;
    return status;
  }

 private:
  IoStatus Flush() {
    IoStatus status = WriteAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return status;
  }

  int fd_;
  std::string buffer_;
};

// Removes everything inside the open folder `dir_fd`, never following a symbolic link.
bool EmptyDirectoryAt(int dir_fd) {
  DIR* dir = ::fdopendir(dir_fd);
  if (!dir) {
    ::close(dir_fd);
    return false;
  }
  bool all_gone = true;
  std::vector<std::pair<std::string, bool>> entries;
  while (dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    struct stat st {};
    bool is_dir = false;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      is_dir = S_ISDIR(st.st_mode);
    }
    entries.emplace_back(entry->d_name, is_dir);
  }
  for (const auto& [name, is_dir] : entries) {
    if (is_dir) {
      int sub =
          ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) all_gone = EmptyDirectoryAt(sub) && all_gone;
      if (::unlinkat(::dirfd(dir), name.c_str(), AT_REMOVEDIR) != 0) all_gone = false;
    } else if (::unlinkat(::dirfd(dir), name.c_str(), 0) != 0) {
      all_gone = false;
    }
  }
  ::closedir(dir);
  return all_gone;
}

}  // namespace

std::unique_ptr<FileWriter> CreateFileWriter(const std::string& path, IoStatus& status) {
  if (Unusable(path)) {
    status = IoStatus::kFailed;
    return nullptr;
  }
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    status = StatusOf(errno);
    return nullptr;
  }
  status = IoStatus::kOk;
  return std::make_unique<PosixFileWriter>(fd);
}

IoStatus WriteNewFile(const std::string& path, std::string_view data) {
  return WriteFile(path, data, O_TRUNC);
}

IoStatus AppendToFile(const std::string& path, std::string_view data) {
  return WriteFile(path, data, O_APPEND);
}

IoStatus AppendToFileDurably(const std::string& path, std::string_view data) {
  return WriteFile(path, data, O_APPEND | O_DSYNC);
}

IoStatus CopyFileData(const std::string& from, const std::string& to) {
  if (Unusable(from) || Unusable(to)) return IoStatus::kFailed;
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return IoStatus::kFailed;
  ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (out < 0) {
    IoStatus status = StatusOf(errno);
    ::close(in);
    return status;
  }
  IoStatus status = CopyData(in, out);
  ::close(in);
  return CloseChecked(out, status);
}

bool IsRealDirectory(const std::string& path) noexcept {
  struct stat st {};
  return !Unusable(path) && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ListFileNames(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  if (Unusable(folder)) return false;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return false;
  }
  errno = 0;
  while (dirent* entry = ::readdir(dir)) {
    bool is_dir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      is_dir = ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    }
    if (!is_dir) names.emplace_back(entry->d_name);
    errno = 0;
  }
  bool ok = errno == 0;
  ::closedir(dir);
  return ok;
}

bool RemoveEmptyDirectory(const std::string& path) noexcept {
  return !Unusable(path) && ::rmdir(path.c_str()) == 0;
}

bool RemoveTree(const std::string& path) noexcept {
  if (Unusable(path)) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  bool emptied = EmptyDirectoryAt(fd);
  return ::rmdir(path.c_str()) == 0 && emptied;
}

}  // namespace nd::platform
