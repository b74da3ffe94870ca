// posix_spawn behind the process interface. Spawned programs that end before we do are
// reaped quietly, so a long wizard session collects no zombies.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/process.h"

extern char** environ;

namespace nd::platform {
namespace {

// Reaps the children we started earlier that have ended by now. Only our own children are
// collected, by their ids; nothing else of the process waits for them.
std::vector<pid_t>& Started() {
  static std::vector<pid_t> pids;
  return pids;
}

void ReapEnded() {
  std::erase_if(Started(), [](pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) != 0;
  });
}

}  // namespace

bool Spawn(const std::string& program, const std::vector<std::string>& args, SpawnOptions options) {
  ReapEnded();
  if (program.empty() || program.find('\0') != std::string::npos) return false;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  ::posix_spawnattr_init(&attr);
  ::posix_spawn_file_actions_init(&actions);
  if (options.detached) {
    ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    for (int fd = 0; fd <= 2; ++fd) {
      ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    }
  }
  pid_t pid = 0;
  // glibc reports a failed exec as the spawn's own error, so "not found" comes back here.
  const int rc = options.search_path
                     ? ::posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ)
                     : ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  Started().push_back(pid);
  return true;
}

std::string ExecutablePath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

int ProcessId() { return static_cast<int>(::getpid()); }

}  // namespace nd::platform
