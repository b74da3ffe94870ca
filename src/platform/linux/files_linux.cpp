// POSIX implementation of the file-system operations.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "platform/files.h"

namespace nd::platform {
namespace {

namespace fs = std::filesystem;

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A path with a NUL in it names nothing; the C interfaces would silently read it shorter.
bool Unusable(const std::string& path) {
  return path.empty() || path.find('\0') != std::string::npos;
}

std::string ParentFolder(const std::string& path) {
  std::string parent = fs::path(path).parent_path().string();
  return parent.empty() ? std::string(".") : parent;
}

// True for a regular file, which is then switched back to blocking reads and writes.
bool OnlyRegular(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool IsRegularFile(const std::string& path) noexcept {
  struct stat st {};
  return !Unusable(path) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) noexcept {
  struct stat st {};
  return !Unusable(path) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) noexcept {
  struct stat st {};
  return !Unusable(path) && ::stat(path.c_str(), &st) == 0;
}

bool MakeDirectory(const std::string& path) noexcept {
  if (Unusable(path)) return false;
  if (::mkdir(path.c_str(), 0700) == 0) return true;
  return errno == EEXIST && IsDirectory(path);
}

bool MakeDirectories(const std::string& path) noexcept {
  if (Unusable(path)) return false;
  if (IsDirectory(path)) return true;
  std::string parent = fs::path(path).parent_path().string();
  if (!parent.empty() && parent != path && !MakeDirectories(parent)) return false;
  return MakeDirectory(path);
}

std::string CanonicalPath(const std::string& path) noexcept {
  if (Unusable(path)) return {};
  std::error_code ec;
  fs::path p = fs::canonical(path, ec);
  return ec ? std::string() : p.string();
}

bool RemoveFile(const std::string& path) noexcept {
  return !Unusable(path) && ::unlink(path.c_str()) == 0;
}

bool WriteWholeFile(const std::string& path, std::string_view contents, bool flush) noexcept {
  if (Unusable(path)) return false;
  // Never through a link someone put in our place, never into a FIFO or device (which could
  // block us for good or be something else entirely); only then is the file emptied.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return false;
  if (!OnlyRegular(fd) || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return false;
  }
  bool ok = WriteAll(fd, contents) && (!flush || ::fsync(fd) == 0);
  return ::close(fd) == 0 && ok;
}

bool RenameFile(const std::string& from, const std::string& to) noexcept {
  if (Unusable(from) || Unusable(to) || ::rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolder(ParentFolder(to));
  return true;
}

bool SetPermissions(const std::string& path, unsigned mode) noexcept {
  return !Unusable(path) && ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

std::string MakePrivateTempFolder(const std::string& parent, std::string_view prefix) noexcept {
  if (Unusable(parent) || prefix.find('/') != std::string_view::npos) return {};
  try {
    std::string pattern = parent + "/" + std::string(prefix) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    return ::mkdtemp(name.data()) != nullptr ? std::string(name.data()) : std::string();
  } catch (...) {
    return {};
  }
}

std::vector<std::string> ListFolderFiles(const std::string& folder) noexcept {
  std::vector<std::string> names;
  if (Unusable(folder)) return names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (IsRegularFile(folder + "/" + name)) names.push_back(name);
  }
  ::closedir(dir);
  auto lower = [](std::string text) {
    for (char& c : text) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
  };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    const std::string la = lower(a);
    const std::string lb = lower(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

bool ReadFileBytes(const std::string& path, std::string& contents) noexcept {
  contents.clear();
  if (Unusable(path)) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  if (!OnlyRegular(fd)) {
    ::close(fd);
    return false;
  }
  bool ok = true;
  try {
    char buffer[65536];
    for (;;) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      if (n == 0) break;
      contents.append(buffer, static_cast<size_t>(n));
    }
  } catch (...) {  // out of memory on an absurd file: treat it as unreadable
    ok = false;
  }
  ::close(fd);
  if (!ok) contents.clear();
  return ok;
}

// A descriptor, closed when the object goes.
class NativeFile {
 public:
  explicit NativeFile(int descriptor) noexcept : fd(descriptor) {}
  ~NativeFile() {
    if (fd >= 0) ::close(fd);
  }
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;

  // Closes now, reporting what close reports.
  bool Close() noexcept {
    const int closing = fd;
    fd = -1;
    return ::close(closing) == 0;
  }

  int fd;
};

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() {
  file_.reset();
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
}

bool AtomicFileWriter::Begin() {
  if (Unusable(path_) || file_) return false;
  std::string pattern = path_ + std::string(kTempMarker) + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  file_ = std::make_unique<NativeFile>(fd);
  temp_path_ = name.data();
  return true;
}

bool AtomicFileWriter::Write(std::string_view data) {
  if (!file_ || failed_) return false;
  if (!WriteAll(file_->fd, data)) failed_ = true;
  return !failed_;
}

bool AtomicFileWriter::Commit() {
  if (!file_ || failed_) return false;
  bool ok = ::fsync(file_->fd) == 0;
  ok = file_->Close() && ok;
  file_.reset();
  if (!ok || ::rename(temp_path_.c_str(), path_.c_str()) != 0) return false;
  temp_path_.clear();
  SyncFolder(ParentFolder(path_));
  return true;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view contents) noexcept {
  try {
    AtomicFileWriter writer(path);
    return writer.Begin() && writer.Write(contents) && writer.Commit();
  } catch (...) {
    return false;
  }
}

void RemoveStaleTempFiles(const std::string& path) noexcept {
  std::string folder = ParentFolder(path);
  std::string prefix =
      fs::path(path).filename().string() + std::string(AtomicFileWriter::kTempMarker);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = ::readdir(dir)) {
    std::string_view name(entry->d_name);
    if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

FolderLock::FolderLock(const std::string& folder) noexcept {
  if (Unusable(folder)) return;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      return;
    }
  }
  file_.reset(new (std::nothrow) NativeFile(fd));
  if (!file_) ::close(fd);  // no lock is better than one that is never given back
}

FolderLock::~FolderLock() = default;  // closing releases the lock

}  // namespace nd::platform
