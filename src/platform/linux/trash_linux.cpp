// The freedesktop.org Trash on Linux. Everything below a Trash folder is removed through
// descriptors opened without following links: a link placed in the Trash is removed as a link,
// so emptying can never reach outside it.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/trash.h"

namespace nd::platform {
namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Each level holds one descriptor open; the limit keeps a hostile tree from using them all.
constexpr int kMaxDepth = 512;

// Kernel views and the automounter: they hold no Trash, and looking for one in an automount
// point would mount it.
constexpr std::array<std::string_view, 19> kSkippedTypes = {
    "autofs", "binfmt_misc", "bpf",        "cgroup",    "cgroup2", "configfs", "debugfs",
    "devpts", "efivarfs",    "fusectl",    "hugetlbfs", "mqueue",  "nsfs",     "proc",
    "pstore", "rpc_pipefs",  "securityfs", "sysfs",     "tracefs",
};

bool Skipped(std::string_view type) {
  return std::find(kSkippedTypes.begin(), kSkippedTypes.end(), type) != kSkippedTypes.end();
}

// Closes a descriptor when the scope ends.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool OwnedByUser(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && st.st_uid == ::getuid();
}

// Folders keep their rights in the Trash; a read-only one would keep its entries, so the owner
// gets full rights back. Someone else's folder refuses the change, which is what we want.
void GrantOwnerRights(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU) {
    ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
  }
}

int OpenSubfolder(int parent, const char* name) {
  int fd = ::openat(parent, name, kOpenFolder);
  if (fd >= 0 || errno != EACCES) return fd;
  // A folder we may not read can still have its rights changed without following a link.
  struct stat st {};
  if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) return -1;
  if (::fchmodat(parent, name, (st.st_mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW) != 0) {
    return -1;
  }
  return ::openat(parent, name, kOpenFolder);
}

struct Entry {
  std::string name;
  bool folder;
};

std::vector<Entry> ListFolder(int fd) {
  std::vector<Entry> entries;
  // A descriptor of its own, so that the listing does not move the offset of `fd`.
  int list_fd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (list_fd < 0) return entries;
  DIR* dir = ::fdopendir(list_fd);
  if (!dir) {
    ::close(list_fd);
    return entries;
  }
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool folder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      folder = ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back({std::string(name), folder});
  }
  ::closedir(dir);
  return entries;
}

// Removes everything inside the folder open as `fd`, keeping the folder itself. The listing is
// read completely before anything is removed, so only a descriptor per level stays open.
void RemoveContents(int fd, int depth) {
  if (depth > kMaxDepth) return;
  GrantOwnerRights(fd);
  for (const Entry& entry : ListFolder(fd)) {
    if (entry.folder) {
      Fd child(OpenSubfolder(fd, entry.name.c_str()));
      if (child.ok()) RemoveContents(child.get(), depth + 1);
      ::unlinkat(fd, entry.name.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(fd, entry.name.c_str(), 0);
    }
  }
}

// One Trash folder: files/ and info/ stay (other programs expect them), their contents go.
void EmptyTrashFolder(int trash_fd) {
  for (const char* part : {"files", "info", "expunged"}) {
    Fd folder(OpenSubfolder(trash_fd, part));
    if (folder.ok()) RemoveContents(folder.get(), 0);
  }
  // The size cache names the folders that were in the Trash.
  ::unlinkat(trash_fd, "directorysizes", 0);
}

std::string EnvValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeTrash() {
  std::string data = EnvValue("XDG_DATA_HOME");
  if (data.empty() || data.front() != '/') {
    std::string home = EnvValue("HOME");
    if (home.empty() || home.front() != '/') {
      const passwd* pw = ::getpwuid(::getuid());
      home = pw && pw->pw_dir ? pw->pw_dir : "";
    }
    if (home.empty()) return {};
    data = home + "/.local/share";
  }
  return data + "/Trash";
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsOctal(char c, char highest) { return c >= '0' && c <= highest; }

// mountinfo writes space, tab, line feed and backslash in paths as \ooo.
std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1], '3') &&
        IsOctal(field[i + 2], '7') && IsOctal(field[i + 3], '7')) {
      out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

// The mount points of real file systems, each once.
std::vector<std::string> MountPoints() {
  std::vector<std::string> points;
  std::set<std::string> seen;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> before_separator;
    std::string field;
    while (fields >> field && field != "-") before_separator.push_back(field);
    std::string type;
    fields >> type;
    if (before_separator.size() < 5 || type.empty() || Skipped(type)) continue;
    std::string point = Unescape(before_separator[4]);
    if (seen.insert(point).second) points.push_back(point);
  }
  return points;
}

// The mount points the caller allows; all of them when NULLDRIFT_MOUNTS is not set.
std::vector<std::string> AllowedMountPoints() {
  std::vector<std::string> points = MountPoints();
  const char* allowed_text = std::getenv("NULLDRIFT_MOUNTS");
  if (!allowed_text) return points;
  std::set<std::string> allowed;
  std::istringstream list{std::string(allowed_text)};
  std::string item;
  while (std::getline(list, item, ':')) {
    if (!item.empty()) allowed.insert(WithoutTrailingSlashes(item));
  }
  std::vector<std::string> kept;
  for (const std::string& point : points) {
    if (allowed.count(point) != 0) kept.push_back(point);
  }
  return kept;
}

}  // namespace

void EmptyVolumeTrash(const std::string& top) noexcept {
  try {
    Fd top_fd(::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top_fd.ok()) return;
    const std::string uid = std::to_string(::getuid());

    Fd own(::openat(top_fd.get(), (".Trash-" + uid).c_str(), kOpenFolder));
    if (own.ok() && OwnedByUser(own.get())) EmptyTrashFolder(own.get());

    // Without the sticky bit anyone could have replaced our folder inside the shared one.
    Fd shared(::openat(top_fd.get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!shared.ok() || ::fstat(shared.get(), &st) != 0 || (st.st_mode & S_ISVTX) == 0) return;
    Fd mine(::openat(shared.get(), uid.c_str(), kOpenFolder));
    if (mine.ok() && OwnedByUser(mine.get())) EmptyTrashFolder(mine.get());
  } catch (...) {
    // Out of memory: the Trash stays as it is.
  }
}

void EmptyTrash() noexcept {
  try {
    // The path may pass through links the user set up; only what is inside is handled warily.
    if (std::string home = HomeTrash(); !home.empty()) {
      Fd trash(::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (trash.ok()) EmptyTrashFolder(trash.get());
    }
    for (const std::string& point : AllowedMountPoints()) EmptyVolumeTrash(point);
  } catch (...) {
    // Out of memory: whatever is left stays in the Trash.
  }
}

}  // namespace nd::platform
