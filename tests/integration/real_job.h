// A whole cleaning job run in this process on a scratch volume, as the working page runs it,
// with the machine's real volume access behind a recording hook and its own data and settings
// folders; optionally in a child process as an ordinary user.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/cleaning_job.h"
#include "engine/progress.h"
#include "engine/stop_button.h"
#include "engine/working_page_form.h"
#include "integration/recording_access.h"
#include "ui/scripted_host.h"
#include "unit/test_support.h"

namespace nd::test {

struct RealJob {
  explicit RealJob(const std::string& mount) : data(), env_guard("NULLDRIFT_MOUNTS", mount) {
    context.env = ProbeEnvironment();
    context.env.app_data_folder = data.path();
    context.env.data_folder = data / "NDRF3";
    context.env.system_drive_letter = "C";
    std::filesystem::create_directories(context.env.data_folder);
    context.language = {"English", std::string(ND_BUILD_DIR) + "/Languages", 0};
    host.Attach(form);
    for (const VolumeInfo& v : access.Volumes()) {
      if (v.RootPath == mount) letter = v.DriveLetter;
    }
  }

  void Run(int way, int ntfs_mode = 1) {
    engine::JobOverrides overrides{static_cast<engine::CleanWay>(way),
                                   static_cast<engine::NtfsMode>(ntfs_mode), false};
    engine::JobEnvironment job{context,   host,    form.Page(), state, access, ClockSeededRandom(),
                               overrides, nullptr, {},          {}};
    form.Command4.OnClick = [this] {
      engine::JobEnvironment stop{context, host, form.Page(), state, access,
                                  {},      {},   nullptr,     {},    {}};
      engine::Command4_Click(stop);
    };
    engine::StartCleaningJob(job, letter);
  }

  std::string LastLogStatus() const {
    std::string log = ReadFile(context.env.data_folder + "/log.txt");
    return log.substr(0, 1);
  }

  // The first result row as the page shows it.
  std::string ReportText() { return form.ReportInfo[0].Caption(); }

  // Lets `uid` (and its group of the same number) write the data and settings folders.
  void OpenTo(uid_t uid) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data.path())) {
      ::lchown(entry.path().c_str(), uid, uid);
    }
    ::chown(data.path().c_str(), uid, uid);
  }

  ScratchFolder data;
  ScopedEnv env_guard;
  ScopedEnv config_guard{"XDG_CONFIG_HOME", data / "config"};
  // The data folder's volume answers for "C" (the copy source's room), for any user.
  ScopedEnv data_guard{"XDG_DATA_HOME", data.path()};
  Context context{{}, {}, SettingsStore(data / "config")};
  RecordingAccess access;
  ui::ScriptedHost host;
  engine::WorkingPageForm form;
  engine::JobState state;
  std::string letter;
};

// Leaves root for good: no supplementary groups, `uid` as every user and group id.
inline bool BecomeUser(uid_t uid) {
  return ::setgroups(0, nullptr) == 0 && ::setresgid(uid, uid, uid) == 0 &&
         ::setresuid(uid, uid, uid) == 0;
}

// Runs `work` in a child process as `uid` and hands back what it returned; nothing when the
// child could not become that user or did not end normally.
inline std::optional<std::string> InChildAs(uid_t uid, const std::function<std::string()>& work) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return std::nullopt;
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    if (!BecomeUser(uid)) ::_exit(100);
    std::string answer = work();
    for (size_t at = 0; at < answer.size();) {
      ssize_t n = ::write(pipe_fds[1], answer.data() + at, answer.size() - at);
      if (n <= 0) ::_exit(101);
      at += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string answer;
  char buffer[4096];
  for (ssize_t n; child > 0 && (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
    answer.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipe_fds[0]);
  int status = 0;
  if (child <= 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return answer;
}

}  // namespace nd::test
