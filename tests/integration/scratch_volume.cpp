#include "integration/scratch_volume.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace nd::test {
namespace {

namespace fs = std::filesystem;

bool HasProgram(const std::string& name) {
  for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
    if (::access((std::string(dir) + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::string Trim(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// Starts `argv` with stdin and stderr on /dev/null and stdout on `stdout_fd` (or /dev/null).
pid_t Spawn(const std::vector<std::string>& argv, int stdout_fd) {
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) return -1;
  ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (stdout_fd >= 0) {
    ::posix_spawn_file_actions_adddup2(&actions, stdout_fd, 1);
  } else {
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  ::posix_spawn_file_actions_destroy(&actions);
  return pid;
}

bool Exited(pid_t pid, std::chrono::milliseconds patience) {
  auto end = std::chrono::steady_clock::now() + patience;
  int status = 0;
  for (;;) {
    pid_t result = ::waitpid(pid, &status, WNOHANG);
    if (result == pid || result < 0) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool MakeSparse(const std::string& path, uint64_t size) {
  std::error_code ec;
  { std::ofstream create(path); }
  fs::resize_file(path, size, ec);
  return !ec;
}

// Every block of the image written once, so that the host has them all before the first run.
bool WriteZeros(const std::string& path, uint64_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::vector<char> zeros(size_t{4} << 20);
  bool ok = true;
  for (uint64_t left = size; ok && left > 0;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
    ssize_t written = ::write(fd, zeros.data(), n);
    ok = written > 0;
    if (ok) left -= static_cast<uint64_t>(written);
  }
  ok = ::fsync(fd) == 0 && ok;
  return ::close(fd) == 0 && ok;
}

}  // namespace

int ScratchVolume::Run(const std::vector<std::string>& argv, std::string* output) {
  int pipe_fds[2] = {-1, -1};
  if (output && ::pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
  pid_t pid = Spawn(argv, output ? pipe_fds[1] : -1);
  if (output) {
    ::close(pipe_fds[1]);
    char buffer[4096];
    for (ssize_t n; pid > 0 && (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
      output->append(buffer, static_cast<size_t>(n));
    }
    ::close(pipe_fds[0]);
  }
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<ScratchVolume> ScratchVolume::Make(Kind kind, uint64_t size_bytes,
                                                   const Options& options) {
  return std::make_unique<ScratchVolume>(kind, size_bytes, options);
}

ScratchVolume::ScratchVolume(Kind kind, uint64_t size_bytes, const Options& options) {
  if (::geteuid() != 0) {
    skip_reason_ = "needs root to mount scratch volumes";
    return;
  }
  char pattern[] = "/tmp/nulldrift-volume-XXXXXX";
  if (!::mkdtemp(pattern)) {
    skip_reason_ = "cannot make a temporary folder";
    return;
  }
  folder_ = pattern;
  // Tests also run jobs as an ordinary user, who must be able to reach the mount point.
  ::chmod(folder_.c_str(), 0755);
  mount_point_ = folder_ + "/mnt";
  image_ = folder_ + "/volume.img";
  std::error_code ec;
  fs::create_directory(mount_point_, ec);
  if (!Create(kind, size_bytes, options) && skip_reason_.empty()) {
    skip_reason_ = "could not create the scratch volume";
  }
}

bool ScratchVolume::Create(Kind kind, uint64_t size_bytes, const Options& options) {
  kind_ = kind;
  options_ = options;
  if (kind == Kind::kTmpfs) {
    mounted_ = Run({"mount", "-t", "tmpfs", "-o", "size=" + std::to_string(size_bytes),
                    "nulldrift-scratch", mount_point_}) == 0;
    return mounted_;
  }
  std::string mkfs = kind == Kind::kExt4 ? "mkfs.ext4" : "mkntfs";
  if (!HasProgram(mkfs) || !HasProgram("losetup") ||
      (kind == Kind::kNtfs && !HasProgram("ntfs-3g"))) {
    skip_reason_ = "needs " + mkfs + (kind == Kind::kNtfs ? " and ntfs-3g" : "") + " and losetup";
    return false;
  }
  if (options.like_a_disk ? !WriteZeros(image_, size_bytes) : !MakeSparse(image_, size_bytes)) {
    return false;
  }
  // Past the host's cache, the file system is made through the device, as on a disk.
  if (!options.like_a_disk && !Format(image_)) return false;
  std::vector<std::string> attach = {"losetup", "--find", "--show"};
  if (options.like_a_disk) attach.push_back("--direct-io=on");
  attach.push_back(image_);
  std::string device;
  if (Run(attach, &device) != 0) return false;
  device_ = Trim(device);
  if (options.like_a_disk && !Format(device_)) return false;
  return Mount();
}

bool ScratchVolume::Format(const std::string& target) {
  std::vector<std::string> format;
  if (kind_ == Kind::kExt4) {
    format = {"mkfs.ext4", "-q", "-F"};
    if (options_.inodes) format.insert(format.end(), {"-N", std::to_string(options_.inodes)});
    if (options_.reserved_percent >= 0) {
      format.insert(format.end(), {"-m", std::to_string(options_.reserved_percent)});
    }
  } else {
    format = {"mkntfs", "-Q", "-F"};
  }
  if (!options_.label.empty()) format.insert(format.end(), {"-L", options_.label});
  format.insert(format.end(), options_.mkfs_args.begin(), options_.mkfs_args.end());
  format.push_back(target);
  return Run(format) == 0;
}

bool ScratchVolume::Mount() {
  if (kind_ == Kind::kNtfs) return MountNtfs();
  mounted_ = Run({"mount", "-t", "ext4", device_, mount_point_}) == 0;
  return mounted_;
}

bool ScratchVolume::Reformat() {
  if (kind_ == Kind::kTmpfs || device_.empty() || !Unmount()) return false;
  return Format(device_) && Mount();
}

// ntfs-3g stays in the foreground as our child, so that we know whom to wait for.
bool ScratchVolume::MountNtfs() {
  fuse_pid_ = Spawn({"ntfs-3g", "-o", "no_detach", device_, mount_point_}, -1);
  mounted_ = fuse_pid_ > 0 && WaitForMount();
  return mounted_;
}

bool ScratchVolume::Mounted() const {
  std::ifstream table("/proc/self/mountinfo");
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string id, parent, dev, root, point;
    if (fields >> id >> parent >> dev >> root >> point && point == mount_point_) return true;
  }
  return false;
}

bool ScratchVolume::WaitForMount() const {
  for (int i = 0; i < 200; ++i) {
    if (Mounted()) return true;
    int status = 0;
    if (::waitpid(fuse_pid_, &status, WNOHANG) == fuse_pid_) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

bool ScratchVolume::RemountReadOnly() {
  return mounted_ && Run({"mount", "-o", "remount,ro", mount_point_}) == 0;
}

// After the unmount ntfs-3g ends by itself; one that hangs or never mounted is told to go.
void ScratchVolume::StopFuse() {
  if (fuse_pid_ <= 0) return;
  if (!Exited(fuse_pid_, std::chrono::seconds(5))) {
    ::kill(fuse_pid_, SIGTERM);
    if (!Exited(fuse_pid_, std::chrono::seconds(5))) {
      ::kill(fuse_pid_, SIGKILL);
      ::waitpid(fuse_pid_, nullptr, 0);
    }
  }
  fuse_pid_ = -1;
}

bool ScratchVolume::Unmount() {
  bool ok = true;
  if (!mount_point_.empty() && (mounted_ || Mounted())) {
    ok = Run({"umount", mount_point_}) == 0 ||
         (fuse_pid_ > 0 && Run({"fusermount", "-u", mount_point_}) == 0);
    // A busy volume still leaves the tree now; the kernel lets go of it when it is idle.
    if (!ok) Run({"umount", "-l", mount_point_});
  }
  StopFuse();
  mounted_ = !mount_point_.empty() && Mounted();
  return ok && !mounted_;
}

ScratchVolume::~ScratchVolume() {
  Unmount();
  if (!device_.empty()) Run({"losetup", "-d", device_});
  // Never delete through a mount that is still there: that would be the volume's contents.
  if (!folder_.empty() && !Mounted()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
}

}  // namespace nd::test
