// POSIX implementation of the cleaning job's file operations.
#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <numeric>

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

// Moves the bytes inside the kernel, from the source's cache straight into new pages of the
// target: one copy of the data instead of two, and never a shared block.
IoStatus CopyInKernel(int in, int out) {
  for (;;) {
    ssize_t n = ::sendfile(out, in, nullptr, kCopyChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return StatusOf(errno);
    }
    if (n == 0) return IoStatus::kOk;
  }
}

IoStatus WriteChunk(int out, bool& direct, const char* data, size_t size);

// Lets the device start on a finished copy while the next one is written, so that little is
// left to write back when the fill ends.
void StartWriteBack(int fd) { ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }

IoStatus CopyData(int in, int out) {
  if (!OnFuse(out)) return CopyInKernel(in, out);
  AlignedBuffer buffer(kCopyChunk);
  if (!buffer.data) return IoStatus::kFailed;
  char* bytes = static_cast<char*>(buffer.data);
  bool direct = ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) | O_DIRECT) == 0;
  for (;;) {
    ssize_t n = ReadFull(in, bytes, kCopyChunk);
    if (n < 0) return IoStatus::kFailed;
    if (n == 0) return IoStatus::kOk;
    if (IoStatus status = WriteChunk(out, direct, bytes, static_cast<size_t>(n));
        status != IoStatus::kOk) {
      return status;
    }
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

// Writes `data` to `out`, direct where it is on FUSE; `data` must stay at block boundaries.
IoStatus WriteChunk(int out, bool& direct, const char* data, size_t size) {
  if (direct && size % kDirectAlign != 0) {
    size_t aligned = size - size % kDirectAlign;
    if (IoStatus status = WriteAll(out, data, aligned); status != IoStatus::kOk) return status;
    ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) & ~O_DIRECT);
    direct = false;
    data += aligned;
    size -= aligned;
  }
  return WriteAll(out, data, size);
}

}  // namespace

bool ReadRepeatingUnit(const std::string& path, size_t unit, std::string& pattern, uint64_t& size) {
  if (Unusable(path) || unit == 0) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<char> buffer(unit * 1024);
  pattern.clear();
  size = 0;
  bool repeating = true;
  for (ssize_t n; repeating && (n = ReadFull(fd, buffer.data(), buffer.size())) > 0;) {
    if (pattern.empty()) {
      if (static_cast<size_t>(n) < unit) repeating = false;
      pattern.assign(buffer.data(), std::min(unit, static_cast<size_t>(n)));
    }
    for (size_t at = 0; repeating && at < static_cast<size_t>(n); at += unit) {
      size_t length = std::min(unit, static_cast<size_t>(n) - at);
      repeating = length == unit && std::memcmp(buffer.data() + at, pattern.data(), unit) == 0;
    }
    size += static_cast<uint64_t>(n);
  }
  ::close(fd);
  return repeating && !pattern.empty();
}

IoStatus WriteRepeated(const std::string& path, std::string_view pattern, uint64_t size) {
  if (Unusable(path) || pattern.empty()) return IoStatus::kFailed;
  // A buffer that is a whole number of both patterns and direct-write blocks, so that every
  // full buffer starts at the pattern's beginning and at a block boundary.
  size_t base = std::lcm(pattern.size(), kDirectAlign);
  bool alignable = base <= kCopyChunk;
  if (!alignable) base = pattern.size();
  size_t chunk = base;
  while (chunk < kWriterBuffer) chunk += base;
  size_t repeats = chunk / pattern.size();
  AlignedBuffer buffer(chunk);
  if (!buffer.data) return IoStatus::kFailed;
  char* bytes = static_cast<char*>(buffer.data);
  for (size_t i = 0; i < repeats; ++i)
    std::memcpy(bytes + i * pattern.size(), pattern.data(), pattern.size());
  int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (out < 0) return StatusOf(errno);
  bool direct =
      alignable && OnFuse(out) && ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) | O_DIRECT) == 0;
  IoStatus status = IoStatus::kOk;
  for (uint64_t left = size; left > 0 && status == IoStatus::kOk;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk));
    status = WriteChunk(out, direct, bytes, n);
    left -= n;
  }
  StartWriteBack(out);
  return CloseChecked(out, status);
}

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
  StartWriteBack(out);
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
