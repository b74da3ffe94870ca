// POSIX implementation of the cleaning job's file operations.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>

#include "platform/os_volumes.h"
#include "platform/work_files.h"

namespace nd::platform {
namespace {

// FUSE filesystems such as ntfs-3g move buffered writes one page at a time through user
// space; direct writes reach them in large requests and run several times faster.
constexpr long kFuseMagic = 0x65735546;
constexpr size_t kCopyChunk = size_t{4} << 20;
constexpr size_t kDirectAlign = 4096;
constexpr size_t kWriterBuffer = size_t{1} << 20;
// One write call per copy of the copy source: the device gets the whole copy as one batch of
// requests in flight, instead of waiting for each short request before the next one is sent
// (a disk behind a direct-I/O loop device writes 1 MiB requests at half its speed).
constexpr size_t kFillChunk = size_t{64} << 20;

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

// Writes the first `direct_part` bytes of `data` past the cache while `direct` holds, and the
// rest cached. A file system that refuses a direct write (EINVAL) gets everything left cached;
// `direct` then says the descriptor is cached again.
IoStatus WritePartDirect(int out, bool& direct, const char* data, size_t size, size_t direct_part) {
  if (direct) {
    while (direct_part > 0) {
      ssize_t n = ::write(out, data, direct_part);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EINVAL) break;  // no direct writes here after all: go on cached
      if (n < 0) return StatusOf(errno);
      if (n == 0) return IoStatus::kNoSpace;
      data += n;
      size -= static_cast<size_t>(n);
      direct_part -= static_cast<size_t>(n);
    }
    if (size > 0) {
      ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) & ~O_DIRECT);
      direct = false;
    }
  }
  return WriteAll(out, data, size);
}

// Writes `data` to `out`, direct while `direct` holds; `data` must stay at block boundaries.
IoStatus WriteChunk(int out, bool& direct, const char* data, size_t size) {
  return WritePartDirect(out, direct, data, size, size - size % kDirectAlign);
}

// FUSE takes direct writes of any size at any offset, each in large requests, where cached
// writes go through to the file system a page at a time.
IoStatus WriteAllOnFuse(int fd, const char* data, size_t size) {
  bool direct = ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_DIRECT) == 0;
  return WritePartDirect(fd, direct, data, size, size);
}

// A durable append of whole blocks to a file that ends on a block boundary, written past the
// page cache: the blocks are taken and written before it returns, without the wait for the
// journal that a synchronous cached write makes. False, with nothing written, where it does
// not apply; the caller then writes through the cache and waits for the device.
bool AppendDirect(int fd, std::string_view data, IoStatus& status) {
  struct stat st {};
  if (data.empty() || data.size() % kDirectAlign != 0 || ::fstat(fd, &st) != 0 ||
      st.st_size % static_cast<off_t>(kDirectAlign) != 0) {
    return false;
  }
  AlignedBuffer buffer(data.size());
  if (!buffer.data) return false;
  std::memcpy(buffer.data, data.data(), data.size());
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_DIRECT) != 0) return false;
  bool direct = true;
  status = WriteChunk(fd, direct, static_cast<const char*>(buffer.data), data.size());
  // Refused as a direct write after all: what went through the cache must reach the device.
  if (!direct && status == IoStatus::kOk && ::fdatasync(fd) != 0) status = StatusOf(errno);
  return true;
}

// Opens an existing regular file for reading, refusing links, FIFOs and devices without
// blocking on them.
int OpenRegularForReading(const std::string& path) {
  if (Unusable(path)) return -1;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool Private(const struct stat& st) {
  return (st.st_uid == ::geteuid() || st.st_uid == 0) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

struct Identity {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const struct stat& st) { return {st.st_dev, st.st_ino}; }

class PatternBuffer {
 public:
  explicit PatternBuffer(std::string_view pattern);
  ~PatternBuffer();
  PatternBuffer(const PatternBuffer&) = delete;
  PatternBuffer& operator=(const PatternBuffer&) = delete;
  bool Holds(std::string_view pattern) const { return pattern_ == pattern; }
  const char* data() const { return static_cast<const char*>(data_); }
  size_t size() const { return size_; }
  bool alignable() const { return alignable_; }

 private:
  std::string pattern_;
  void* data_ = nullptr;
  size_t size_ = 0;
  bool alignable_ = false;
};

IoStatus FillWithPattern(int out, const PatternBuffer& buffer, uint64_t size);

class LinuxWorkFolder final : public WorkFolderHandle {
 public:
  LinuxWorkFolder(std::string path, std::string name, int parent_fd, int fd, Identity id,
                  bool leftover)
      : path_(std::move(path)),
        name_(std::move(name)),
        parent_fd_(parent_fd),
        fd_(fd),
        id_(id),
        leftover_(leftover),
        fuse_(OnFuse(fd)) {}
  ~LinuxWorkFolder() override {
    ::close(fd_);
    ::close(parent_fd_);
  }
  LinuxWorkFolder(const LinuxWorkFolder&) = delete;
  LinuxWorkFolder& operator=(const LinuxWorkFolder&) = delete;

  IoStatus Create(std::string_view name, std::string_view data) override {
    IoStatus status = IoStatus::kOk;
    int fd = CreateExclusive(name, status);
    if (fd < 0) return status;
    return CloseChecked(fd, WriteAll(fd, data.data(), data.size()));
  }

  IoStatus Append(std::string_view name, std::string_view data, bool durable) override {
    IoStatus status = IoStatus::kOk;
    bool fresh = !created_.contains(name);
    int fd = fresh ? CreateExclusive(name, status) : OpenOwn(name, 0);
    if (fd < 0) return status == IoStatus::kOk ? IoStatus::kFailed : status;
    if (durable && AppendDirect(fd, data, status)) return CloseChecked(fd, status);
    status = fuse_ ? WriteAllOnFuse(fd, data.data(), data.size())
                   : WriteAll(fd, data.data(), data.size());
    if (status == IoStatus::kOk && durable && ::fdatasync(fd) != 0) status = StatusOf(errno);
    return CloseChecked(fd, status);
  }

  IoStatus Copy(const std::string& source, std::string_view name) override {
    int in = OpenRegularForReading(source);
    if (in < 0) return IoStatus::kFailed;
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    IoStatus status = IoStatus::kOk;
    int out = CreateExclusive(name, status);
    if (out < 0) {
      ::close(in);
      return status;
    }
    status = CopyData(in, out);
    StartWriteBack(out);
    ::close(in);
    return CloseChecked(out, status);
  }

  IoStatus WriteRepeated(std::string_view name, std::string_view pattern, uint64_t size) override {
    if (pattern.empty()) return IoStatus::kFailed;
    IoStatus status = IoStatus::kOk;
    int out = CreateExclusive(name, status);
    if (out < 0) return status;
    if (!pattern_buffer_ || !pattern_buffer_->Holds(pattern)) {
      pattern_buffer_ = std::make_unique<PatternBuffer>(pattern);
    }
    status = FillWithPattern(out, *pattern_buffer_, size);
    StartWriteBack(out);
    return CloseChecked(out, status);
  }

  IoStatus PadToMultiple(std::string_view name, uint64_t unit, std::string_view filler) override {
    if (unit == 0 || filler.empty()) return IoStatus::kFailed;
    if (!created_.contains(name)) return IoStatus::kOk;
    int fd = OpenOwn(name, 0);
    if (fd < 0) return IoStatus::kFailed;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return CloseChecked(fd, IoStatus::kFailed);
    uint64_t size = static_cast<uint64_t>(st.st_size);
    uint64_t missing = (unit - size % unit) % unit;
    std::string pad;
    pad.reserve(missing);
    while (pad.size() < missing) pad.append(filler.substr(0, missing - pad.size()));
    return CloseChecked(fd, WriteAll(fd, pad.data(), pad.size()));
  }

  IoStatus CutEnd(std::string_view name, uint64_t bytes) override {
    int fd = OpenOwn(name, 0);
    if (fd < 0) return IoStatus::kFailed;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    uint64_t size = ok ? static_cast<uint64_t>(st.st_size) : 0;
    ok = ok && ::ftruncate(fd, static_cast<off_t>(size - std::min(size, bytes))) == 0;
    return CloseChecked(fd, ok ? IoStatus::kOk : IoStatus::kFailed);
  }

  bool ListWorkFiles(std::vector<std::string>& names) override {
    names.clear();
    int fd = Reopen();
    if (fd < 0) return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
      ::close(fd);
      return false;
    }
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
        errno = 0;
        continue;
      }
      bool is_dir = entry->d_type == DT_DIR;
      if (entry->d_type == DT_UNKNOWN) {
        struct stat st {};
        is_dir =
            ::fstatat(fd_, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
      }
      if (!is_dir) names.emplace_back(entry->d_name);
      errno = 0;
    }
    bool ok = errno == 0;
    ::closedir(dir);
    return ok;
  }

  bool Delete(std::string_view name) override {
    if (!PlainName(name)) return false;
    std::string text(name);
    if (::unlinkat(fd_, text.c_str(), 0) != 0) return false;
    if (auto it = created_.find(name); it != created_.end()) created_.erase(it);
    return true;
  }

  bool Flush() override { return ::syncfs(fd_) == 0; }

  void DisableCompression() override {
    if (StillInPlace()) platform::DisableCompression(path_);
  }

  bool StillInPlace() override {
    struct stat st {};
    return ::lstat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && IdentityOf(st) == id_;
  }

  bool RemoveIfEmpty() override {
    return StillInPlace() && ::unlinkat(parent_fd_, name_.c_str(), AT_REMOVEDIR) == 0;
  }

  void RemoveAll() override {
    int fd = Reopen();
    if (fd >= 0) EmptyDirectoryAt(fd);
    RemoveIfEmpty();
  }

 private:
  // The folder once more, with a reading position of its own (a dup would share one).
  int Reopen() const { return ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

  // A new file of ours. A name already taken is replaced only in our own leftover folder (or
  // when this handle wrote it); in a folder made by this run it was planted by somebody else.
  int CreateExclusive(std::string_view name, IoStatus& status) {
    if (!PlainName(name)) {
      status = IoStatus::kFailed;
      return -1;
    }
    std::string text(name);
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(fd_, text.c_str(), kFlags, 0600);
    if (fd < 0 && errno == EEXIST && (leftover_ || created_.contains(name)) &&
        ::unlinkat(fd_, text.c_str(), 0) == 0) {
      fd = ::openat(fd_, text.c_str(), kFlags, 0600);
    }
    if (fd < 0) {
      status = StatusOf(errno);
      return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      ::close(fd);
      status = IoStatus::kFailed;
      return -1;
    }
    created_[text] = IdentityOf(st);
    status = IoStatus::kOk;
    return fd;
  }

  // A file this handle created, still the same file with no other name.
  int OpenOwn(std::string_view name, int extra_flags) {
    auto it = created_.find(name);
    if (it == created_.end()) return -1;
    int fd = ::openat(fd_, it->first.c_str(),
                      O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | extra_flags);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        IdentityOf(st) != it->second) {
      ::close(fd);
      return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
  }

  std::string path_;
  std::string name_;
  int parent_fd_;
  int fd_;
  Identity id_;
  bool leftover_;
  bool fuse_;  // the folder's file system is FUSE (ntfs-3g): cached writes crawl there
  std::map<std::string, Identity, std::less<>> created_;
  std::unique_ptr<PatternBuffer> pattern_buffer_;
};

// A buffer that is a whole number of both patterns and direct-write blocks, so that every full
// buffer starts at the pattern's beginning and at a block boundary. Made once per pattern and
// kept: the copies of one fill all write the same bytes.
PatternBuffer::PatternBuffer(std::string_view pattern) : pattern_(pattern) {
  size_t base = std::lcm(pattern.size(), kDirectAlign);
  alignable_ = base <= kCopyChunk;
  if (!alignable_) base = pattern.size();
  size_ = base;
  while (size_ < kFillChunk) size_ += base;
  if (::posix_memalign(&data_, kDirectAlign, size_) != 0) {
    data_ = nullptr;
    return;
  }
  char* bytes = static_cast<char*>(data_);
  for (size_t at = 0; at < size_; at += pattern.size()) {
    std::memcpy(bytes + at, pattern.data(), pattern.size());
  }
}

PatternBuffer::~PatternBuffer() { std::free(data_); }

IoStatus FillWithPattern(int out, const PatternBuffer& buffer, uint64_t size) {
  if (!buffer.data()) return IoStatus::kFailed;
  // Written past the page cache, as dd's direct writes are: the data is written once, by the
  // device, in large requests, and nothing is left to write back when the volume is full.
  bool direct = buffer.alignable() && ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) | O_DIRECT) == 0;
  IoStatus status = IoStatus::kOk;
  for (uint64_t left = size; left > 0 && status == IoStatus::kOk;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    status = WriteChunk(out, direct, buffer.data(), n);
    left -= n;
  }
  return status;
}

}  // namespace

std::unique_ptr<WorkFolderHandle> OpenWorkFolder(const std::string& path, FolderRefusal& why) {
  why = FolderRefusal::kUnusable;
  if (Unusable(path)) return nullptr;
  size_t slash = path.find_last_of('/');
  std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!PlainName(name)) return nullptr;
  int parent_fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent_fd < 0) return nullptr;
  bool made = ::mkdirat(parent_fd, name.c_str(), 0700) == 0;
  int fd = ::openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    int error = errno;
    struct stat st {};
    if (error == ELOOP || error == ENOTDIR) {
      why = FolderRefusal::kNotAFolder;
    } else if (error == EACCES &&
               ::fstatat(parent_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISDIR(st.st_mode)) {
      // A folder this user may not even open is somebody else's: another user's, or root's
      // while root cleans the volume.
      why = FolderRefusal::kNotOurs;
    }
    ::close(parent_fd);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    ::close(parent_fd);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    why = FolderRefusal::kBusy;
  } else if (!made && !Private(st)) {
    why = FolderRefusal::kNotOurs;
  } else {
    why = FolderRefusal::kNone;
    return std::make_unique<LinuxWorkFolder>(path, name, parent_fd, fd, IdentityOf(st), !made);
  }
  ::close(fd);
  ::close(parent_fd);
  return nullptr;
}

namespace {

// The folder at `path` opened without following a link, with its lock taken when `lock`.
FolderState OpenLeftover(const std::string& path, int& fd) {
  fd = -1;
  struct stat st {};
  if (Unusable(path) || ::lstat(path.c_str(), &st) != 0) return FolderState::kAbsent;
  if (!S_ISDIR(st.st_mode) || !Private(st)) return FolderState::kForeign;
  fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FolderState::kAbsent : FolderState::kForeign;
  if (::fstat(fd, &st) != 0 || !Private(st)) {
    ::close(fd);
    fd = -1;
    return FolderState::kForeign;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    fd = -1;
    return FolderState::kBusy;
  }
  return FolderState::kOurs;
}

}  // namespace

FolderState InspectWorkFolder(const std::string& path) {
  int fd = -1;
  FolderState state = OpenLeftover(path, fd);
  if (fd >= 0) ::close(fd);
  return state;
}

bool RemoveLeftoverWorkFolder(const std::string& path) {
  int fd = -1;
  if (OpenLeftover(path, fd) != FolderState::kOurs) return false;
  int lock = ::dup(fd);
  bool emptied = EmptyDirectoryAt(fd);
  bool removed = ::rmdir(path.c_str()) == 0;
  if (lock >= 0) ::close(lock);
  return emptied && removed;
}

bool ReadRepeatingUnit(const std::string& path, size_t unit, std::string& pattern, uint64_t& size) {
  if (unit == 0) return false;
  int fd = OpenRegularForReading(path);
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

std::unique_ptr<FileWriter> CreateFileWriter(const std::string& path, IoStatus& status) {
  status = IoStatus::kFailed;
  struct stat st {};
  if (Unusable(path) || (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))) return nullptr;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) {
    status = StatusOf(errno);
    return nullptr;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  status = IoStatus::kOk;
  return std::make_unique<PosixFileWriter>(fd);
}

bool IsRealDirectory(const std::string& path) noexcept {
  struct stat st {};
  return !Unusable(path) && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveTree(const std::string& path) noexcept {
  if (Unusable(path)) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  bool emptied = EmptyDirectoryAt(fd);
  return ::rmdir(path.c_str()) == 0 && emptied;
}

}  // namespace nd::platform
