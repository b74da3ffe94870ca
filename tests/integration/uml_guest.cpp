#include "integration/uml_guest.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "integration/scratch_volume.h"

extern char** environ;

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
         "mount -t tmpfs -o mode=1777 tmpfs /tmp\n"
         "mount -t tmpfs tmpfs /run\n"
         "mkdir -p /tmp/host /tmp/vol\n"
         "mount -t hostfs -o " +
         shared + " hostfs /tmp/host || { echo 'guest: no hostfs'; exec " + kBuild +
         "/residue_tool poweroff; }\n"
         "M=" +
         modules +
         "/kernel/fs\n"
         "for m in fat/fat fat/vfat nls/nls_cp437 nls/nls_iso8859-1 nls/nls_utf8; do\n"
         "  insmod $M/$m.ko || echo \"insmod $m\" >>/tmp/host/nomodules\n"
         "done\n"
         "if [ ! -e /tmp/host/nomodules ]; then\n"
         "  uname -r >/tmp/host/booted\n"
         "  (cd /tmp && sh /tmp/host/job.sh) >/tmp/host/script.log 2>&1\n"
         "  echo $? >/tmp/host/status\n"
         "fi\n"
         "cd /\n"
         "umount /tmp/vol 2>/dev/null\n"
         "umount /tmp/host\n"
         "sync\n" +
         kBuild +
         "/residue_tool poweroff\n"
         "echo o >/proc/sysrq-trigger\n"
         "sleep 60\n";
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

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawnattr_init(&attributes);
  std::string console = folder_ + "/console.log";
  ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, 1, console.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // Its own process group: the kernel runs every guest process as a host process of its own,
  // and a guest that hangs is ended with all of them.
  ::posix_spawnattr_setpgroup(&attributes, 0);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int spawned = ::posix_spawn(&pid, kKernel, &actions, &attributes, args.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return Outcome::kNoStart;

  bool stopped = Wait(pid, patience);
  std::string status = ReadShared("status");
  if (!status.empty()) script_status_ = std::stoi(status);
  if (!fs::exists(shared_ + "/booted")) return stopped ? Outcome::kNoStart : Outcome::kTimedOut;
  if (status.empty()) return Outcome::kTimedOut;
  return stopped ? Outcome::kRan : Outcome::kNoPowerOff;
}

// True when the guest stopped by itself. A guest still running after `patience`, or a minute
// after its script ended, is ended by its process group.
bool UmlGuest::Wait(pid_t pid, std::chrono::seconds patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  bool grace = false;
  for (;;) {
    int wstatus = 0;
    pid_t result = ::waitpid(pid, &wstatus, WNOHANG);
    if (result == pid || result < 0) return true;
    auto now = std::chrono::steady_clock::now();
    if (!grace && fs::exists(shared_ + "/status")) {
      grace = true;
      deadline = std::min(deadline, now + std::chrono::seconds(60));
    }
    if (now > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ::kill(-pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
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
