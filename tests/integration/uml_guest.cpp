#include "integration/uml_guest.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "integration/scratch_volume.h"

namespace nd::test {
namespace {

namespace fs = std::filesystem;

const std::string kBuild = ND_BUILD_DIR;
// Debian installs the kernel under this name, and its modules by the version it reports.
const char* const kKernel = "/usr/bin/linux.uml";
const char* const kModuleRoot = "/usr/lib/uml/modules/";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Tail(const std::string& text, size_t n) {
  return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

bool Executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

std::string FirstExecutable(std::initializer_list<const char*> paths) {
  for (const char* p : paths) {
    if (Executable(p)) return p;
  }
  return {};
}

// Kernel command lines split at blanks and know no quoting.
bool FitsCommandLine(const std::string& path) {
  return path.find_first_of(" \t\n\"'") == std::string::npos;
}

// The guest's pid 1. The host's root is mounted read-only, so nothing the guest does can reach
// the host's files except through the one shared folder. The script's status is written
// before that folder is unmounted, which writes it back to the host.
std::string InitScript(const std::string& modules, const std::string& shared) {
  return "#!/bin/sh\n"
         "PATH=/usr/sbin:/usr/bin:/sbin:/bin\n"
         "export PATH\n"
         "BUILD='" +
         kBuild +
         "'\n"
         "export BUILD\n"
         "mount -t proc proc /proc\n"
         "mount -t sysfs sysfs /sys\n"
         "mount -t tmpfs tmpfs /run\n"
         // The guest works in /run: a build folder below /tmp must stay visible.
         "case \"$BUILD\" in /tmp/*) ;; *) mount -t tmpfs -o mode=1777 tmpfs /tmp ;; esac\n"
         "mkdir -p /run/host /run/vol /run/tmp\n"
         "chmod 1777 /run/tmp\n"
         "TMPDIR=/run/tmp\n"
         "export TMPDIR\n"
         "mount -t hostfs -o " +
         shared + " hostfs /run/host || { echo 'guest: no hostfs'; exec " + kBuild +
         "/residue_tool poweroff; }\n"
         "M=" +
         modules +
         "/kernel/fs\n"
         "for m in fat/fat fat/vfat nls/nls_cp437 nls/nls_iso8859-1 nls/nls_utf8; do\n"
         "  insmod $M/$m.ko || echo \"insmod $m\" >>/run/host/nomodules\n"
         "done\n"
         "if [ ! -e /run/host/nomodules ]; then\n"
         "  uname -r >/run/host/booted\n"
         "  (cd /run && sh /run/host/job.sh) >/run/host/script.log 2>&1\n"
         "  echo $? >/run/host/status\n"
         "fi\n"
         "cd /\n"
         "umount /run/vol 2>/dev/null\n"
         "umount /run/host\n"
         "sync\n" +
         kBuild +
         "/residue_tool poweroff\n"
         "echo o >/proc/sysrq-trigger\n"
         "sleep 60\n";
}

bool ExitedWithin(pid_t pid, std::chrono::seconds patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t result = ::waitpid(pid, nullptr, WNOHANG);
    if (result == pid || result < 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace

UmlGuest::UmlGuest() {
  if (!Executable(kKernel)) {
    skip_reason_ = "needs the user-mode-linux package (scripts/install-deps installs it)";
    return;
  }
  std::string version;
  ScratchVolume::Run({kKernel, "--version"}, &version);
  while (!version.empty() && (version.back() == '\n' || version.back() == ' ')) version.pop_back();
  modules_ = kModuleRoot + version;
  if (version.empty() || !fs::exists(modules_ + "/kernel/fs/fat/vfat.ko")) {
    skip_reason_ = "the user-mode kernel " + version + " has no vfat.ko in " + modules_;
    return;
  }
  if (FirstExecutable({"/usr/sbin/insmod", "/sbin/insmod"}).empty() ||
      FirstExecutable({"/usr/bin/setpriv", "/bin/setpriv"}).empty()) {
    skip_reason_ = "needs insmod (kmod) and setpriv (util-linux) for the guest";
    return;
  }
  if (!Executable(kBuild + "/residue_tool") || !FitsCommandLine(kBuild)) {
    skip_reason_ = "needs residue_tool in a build folder whose path has no blanks or quotes";
    return;
  }
  char pattern[] = "/tmp/nulldrift-uml-XXXXXX";
  if (!::mkdtemp(pattern)) {
    skip_reason_ = "cannot make a temporary folder";
    return;
  }
  folder_ = pattern;
  ::chmod(folder_.c_str(), 0755);
  shared_ = folder_ + "/host";
  scratch_ = folder_ + "/scratch";
  std::error_code ec;
  if (!fs::create_directory(shared_, ec) || !fs::create_directory(scratch_, ec)) {
    skip_reason_ = "cannot make the guest's folders";
  }
}

UmlGuest::~UmlGuest() {
  if (folder_.empty()) return;
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

std::string UmlGuest::Console() const { return Slurp(folder_ + "/console.log"); }
std::string UmlGuest::ScriptLog() const { return ReadShared("script.log"); }
std::string UmlGuest::ReadShared(const std::string& name) const {
  return Slurp(shared_ + "/" + name);
}

UmlGuest::Outcome UmlGuest::Run(const std::string& image, const std::string& script,
                                std::chrono::seconds patience) {
  script_status_ = -1;
  // What an earlier run left there must not pass for this one's results.
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(shared_, ec)) fs::remove_all(entry.path(), ec);
  std::string init = folder_ + "/init.sh";
  std::ofstream(init) << InitScript(modules_, shared_);
  std::ofstream(shared_ + "/job.sh") << script;
  ::chmod(init.c_str(), 0755);
  if (!FitsCommandLine(image)) return Outcome::kNoStart;

  std::vector<std::string> argv = {kKernel,
                                   "mem=" + std::to_string(kMemoryMiB) + "M",
                                   "rootfstype=hostfs",
                                   "rootflags=/",
                                   "ro",
                                   "init=" + init,
                                   "con=null",
                                   "con0=null,fd:1",
                                   "loglevel=4"};
  if (!image.empty()) argv.push_back("ubd0=" + image);

  std::string console = folder_ + "/console.log";
  int console_fd = ::open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int lifeline[2] = {-1, -1};
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (console_fd >= 0 && null_fd >= 0 && ::pipe2(lifeline, O_CLOEXEC) == 0) pid = ::fork();
  if (pid == 0) {
    // The keeper. The kernel runs every guest process as a host process of its own, in a
    // session and process group it makes for itself (led by the kernel's pid). The keeper
    // ends that group once the kernel has stopped, and also when its lifeline closes: when
    // the test gives up on the guest, or when the test process dies (at ctest's timeout, for
    // instance); the guest's processes would otherwise run on.
    ::setpgid(0, 0);
    ::close(lifeline[1]);
    // What the kernel leaves behind becomes the keeper's to reap.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    pid_t kernel = ::fork();
    if (kernel == 0) {
      ::dup2(null_fd, 0);
      ::dup2(console_fd, 1);
      ::dup2(console_fd, 2);
      ::execv(kKernel, args.data());
      ::_exit(127);
    }
    bool reaped = kernel < 0;
    while (!reaped) {
      reaped = ::waitpid(kernel, nullptr, WNOHANG) != 0;
      pollfd watch{lifeline[0], POLLIN, 0};
      if (!reaped && ::poll(&watch, 1, 200) > 0) break;
    }
    // Before its first fork the kernel is still in the keeper's group.
    if (!reaped && ::kill(-kernel, SIGKILL) != 0) ::kill(kernel, SIGKILL);
    // Every process left is a child of ours now, and while one is unreaped the kernel's group
    // number cannot go to anybody else.
    for (int tick = 0;; ++tick) {
      pid_t child = ::waitpid(-1, nullptr, WNOHANG);
      if (child < 0 && errno != EINTR) break;
      if (child > 0) continue;
      if (tick == 40 && kernel > 0) ::kill(-kernel, SIGKILL);
      ::usleep(50'000);
    }
    ::_exit(0);
  }
  if (console_fd >= 0) ::close(console_fd);
  if (null_fd >= 0) ::close(null_fd);
  if (lifeline[0] >= 0) ::close(lifeline[0]);
  if (pid < 0) {
    if (lifeline[1] >= 0) ::close(lifeline[1]);
    return Outcome::kNoStart;
  }
  // The keeper makes the group; made here as well, it is there before the first kill.
  ::setpgid(pid, pid);

  bool stopped = Wait(pid, patience, lifeline[1]);
  std::string status = ReadShared("status");
  if (!status.empty()) script_status_ = std::stoi(status);
  if (!fs::exists(shared_ + "/booted")) return stopped ? Outcome::kNoStart : Outcome::kTimedOut;
  if (status.empty()) return Outcome::kTimedOut;
  return stopped ? Outcome::kRan : Outcome::kNoPowerOff;
}

// True when the guest stopped by itself. A guest still running after `patience`, or a minute
// after its script ended, is ended through its keeper's lifeline.
bool UmlGuest::Wait(pid_t pid, std::chrono::seconds patience, int lifeline) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  bool grace = false;
  for (;;) {
    int wstatus = 0;
    pid_t result = ::waitpid(pid, &wstatus, WNOHANG);
    if (result == pid || result < 0) {
      ::close(lifeline);
      return true;
    }
    auto now = std::chrono::steady_clock::now();
    if (!grace && fs::exists(shared_ + "/status")) {
      grace = true;
      deadline = std::min(deadline, now + std::chrono::seconds(60));
    }
    if (now > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ::close(lifeline);
  // The keeper answers within a fifth of a second; one that does not is ended outright.
  if (!ExitedWithin(pid, std::chrono::seconds(10))) {
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  return false;
}

std::string DescribeOutcome(const UmlGuest& guest, UmlGuest::Outcome outcome) {
  switch (outcome) {
    case UmlGuest::Outcome::kRan:
      return "the guest ran its script (status " + std::to_string(guest.ScriptStatus()) + ")";
    case UmlGuest::Outcome::kNoStart:
      return "user-mode Linux does not start here: " +
             (guest.ReadShared("nomodules").empty()
                  ? Tail(guest.Console(), 1500)
                  : "its modules do not load (" + guest.ReadShared("nomodules") + ")");
    case UmlGuest::Outcome::kTimedOut:
      return "the guest was still running at the deadline and was ended; its script says:\n" +
             Tail(guest.ScriptLog(), 3000) + "\nconsole:\n" + Tail(guest.Console(), 1500);
    case UmlGuest::Outcome::kNoPowerOff:
      return "the guest's script ended but the guest did not power off; console:\n" +
             Tail(guest.Console(), 1500);
  }
  return {};
}

}  // namespace nd::test
