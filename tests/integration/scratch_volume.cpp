#include "integration/scratch_volume.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

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

}  // namespace

int ScratchVolume::Run(const std::vector<std::string>& argv, std::string* output) {
  int pipe_fds[2] = {-1, -1};
  if (output && ::pipe(pipe_fds) != 0) return -1;
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int null_fd = ::open("/dev/null", O_RDWR);
    ::dup2(output ? pipe_fds[1] : null_fd, 1);
    ::dup2(null_fd, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  if (output) {
    ::close(pipe_fds[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
      output->append(buffer, static_cast<size_t>(n));
    }
    ::close(pipe_fds[0]);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
  fs::create_directory(mount_point_);
  if (!Make(kind, size_bytes, options) && skip_reason_.empty()) {
    skip_reason_ = "could not create the scratch volume";
  }
}

bool ScratchVolume::Make(Kind kind, uint64_t size_bytes, const Options& options) {
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
  { std::ofstream create(image_); }
  fs::resize_file(image_, size_bytes);
  std::vector<std::string> format = {mkfs};
  if (kind == Kind::kExt4) {
    format.insert(format.end(), {"-q", "-F"});
    if (options.inodes) format.insert(format.end(), {"-N", std::to_string(options.inodes)});
  } else {
    format.insert(format.end(), {"-Q", "-F"});
  }
  if (!options.label.empty()) format.insert(format.end(), {"-L", options.label});
  format.push_back(image_);
  if (Run(format) != 0) return false;
  std::string device;
  if (Run({"losetup", "--find", "--show", image_}, &device) != 0) return false;
  device_ = Trim(device);
  if (kind == Kind::kExt4) {
    mounted_ = Run({"mount", device_, mount_point_}) == 0;
    return mounted_;
  }
  fuse_pid_ = ::fork();
  if (fuse_pid_ == 0) {
    int null_fd = ::open("/dev/null", O_RDWR);
    ::dup2(null_fd, 1);
    ::dup2(null_fd, 2);
    ::execlp("ntfs-3g", "ntfs-3g", "-o", "no_detach", device_.c_str(), mount_point_.c_str(),
             static_cast<char*>(nullptr));
    ::_exit(127);
  }
  mounted_ = fuse_pid_ > 0 && WaitForMount();
  return mounted_;
}

bool ScratchVolume::Mounted() const {
  std::ifstream table("/proc/self/mountinfo");
  std::string needle = " " + mount_point_ + " ";
  for (std::string line; std::getline(table, line);) {
    if (line.find(needle) != std::string::npos) return true;
  }
  return false;
}

bool ScratchVolume::WaitForMount() const {
  for (int i = 0; i < 100; ++i) {
    if (Mounted()) return true;
    int status = 0;
    if (::waitpid(fuse_pid_, &status, WNOHANG) == fuse_pid_) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

bool ScratchVolume::RemountReadOnly() {
  return mounted_ && Run({"mount", "-o", "remount,ro", mount_point_}) == 0;
}

bool ScratchVolume::Unmount() {
  if (!mounted_) return true;
  ::sync();
  bool ok = Run({"umount", mount_point_}) == 0 || Run({"umount", "-l", mount_point_}) == 0;
  mounted_ = !ok;
  if (fuse_pid_ > 0) {
    int status = 0;
    for (int i = 0; i < 100 && ::waitpid(fuse_pid_, &status, WNOHANG) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (::waitpid(fuse_pid_, &status, WNOHANG) == 0) {
      ::kill(fuse_pid_, SIGTERM);
      ::waitpid(fuse_pid_, &status, 0);
    }
    fuse_pid_ = -1;
  }
  return ok;
}

ScratchVolume::~ScratchVolume() {
  Unmount();
  if (!device_.empty()) Run({"losetup", "-d", device_});
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
}

}  // namespace nd::test
