// The uninstaller's questions on the scripted host, and its clean-up script run for real on a
// scratch installation with a running copy of the "program".
#include "shell/uninstaller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "engine_test_support.h"
#include "platform/files.h"
#include "shell/shortcuts.h"
#include "ui/scripted_host.h"

namespace nd::test {
namespace {

namespace fs = std::filesystem;
using ui::MsgBoxResult;

struct UninstallRig {
  UninstallRig() : context(ScratchContext(scratch)) {
    Environment& env = context.env;
    UseScratchInstallFolders(env, scratch);
    // The quote in the path checks the script's quoting for real.
    env.program_files_folder = scratch / "pro'gram files";
    WriteFile(Install() + "/nulldrift", "program");
    WriteFile(env.common_desktop_folder + "/Nulldrift 3.desktop", "launcher");
    WriteFile(env.data_folder + "/log.txt", "history");
    shell::RegisterProgram(context);
    context.settings.Save(kAppNdrf, "Settings", "Language", "English");
    context.settings.Save(kAppKx, "NDRF", "Reload-Year", "2026");
  }

  std::string Install() const { return context.env.program_files_folder + "/Nulldrift 3"; }

  // Runs the uninstaller with the two answers; the script is recorded, not started.
  void Run(MsgBoxResult sure, MsgBoxResult keep_settings) {
    host.QueueAnswer(sure);
    host.QueueAnswer(keep_settings);
    shell::UninstallServices services{[this] { ++pages_opened; },
                                      [this](const std::string& path) {
                                        launched.push_back(path);
                                        return true;
                                      }};
    shell::RunUninstaller(context, host, services);
  }

  ScratchFolder scratch;
  Context context;
  ui::ScriptedHost host;
  int pages_opened = 0;
  std::vector<std::string> launched;
};

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(Uninstaller, NoAtTheFirstQuestionChangesNothing) {
  UninstallRig rig;
  rig.Run(MsgBoxResult::kNo, MsgBoxResult::kNo);
  ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].icon, ui::MsgBoxIcon::kExclamation);
  EXPECT_EQ(rig.host.MsgBoxes()[0].title, "Nulldrift");
  EXPECT_TRUE(rig.host.MsgBoxes()[0].text.ends_with("?\n\nNulldrift"));
  EXPECT_TRUE(fs::is_empty(rig.context.env.temp_folder));
  EXPECT_TRUE(fs::exists(shell::RegistrationPath(rig.context.env)));
  EXPECT_EQ(rig.context.settings.Get(kAppNdrf, "Settings", "Language"), "English");
  EXPECT_EQ(rig.pages_opened, 0);
  EXPECT_TRUE(rig.launched.empty());
}

TEST(Uninstaller, SettingsKeptOrRemovedAsAnswered) {
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "keep settings" : "remove settings");
    UninstallRig rig;
    rig.Run(MsgBoxResult::kYes, keep ? MsgBoxResult::kYes : MsgBoxResult::kNo);

    ASSERT_EQ(rig.host.MsgBoxes().size(), 3u);
    EXPECT_EQ(rig.host.MsgBoxes()[2].text,
              "Nulldrift has been uninstalled. Its last files are deleted a few seconds after you "
              "click OK.");
    EXPECT_EQ(rig.host.MsgBoxes()[2].buttons, ui::MsgBoxButtons::kOk);
    EXPECT_FALSE(fs::exists(shell::RegistrationPath(rig.context.env)));
    EXPECT_EQ(fs::exists(rig.context.settings.FileOf(kAppNdrf)), keep);
    EXPECT_EQ(rig.context.settings.Get(kAppKx, "NDRF", "Reload-Year"), "2026");
    EXPECT_EQ(rig.pages_opened, 1);

    // The script lies alone in a private folder of its own inside the temporary folder.
    ASSERT_EQ(rig.launched.size(), 1u);
    const fs::path script = rig.launched[0];
    EXPECT_EQ(script.filename(), "uninstall.sh");
    EXPECT_EQ(script.parent_path().parent_path(), rig.context.env.temp_folder);
    EXPECT_EQ(ModeOf(script.parent_path()), 0700u);
    EXPECT_EQ(ModeOf(script), 0700u);
    const std::string text = ReadFile(script);
    EXPECT_TRUE(text.starts_with("#!/bin/sh\n"));
    const std::string data_line = "rm -rf -- '" + rig.context.env.data_folder + "'\n";
    EXPECT_EQ(text.find(data_line) != std::string::npos, !keep) << text;
    EXPECT_NE(text.find("me=" + std::to_string(::getpid()) + "\n"), std::string::npos);
  }
}

// A process id that was just in use and has ended: the uninstalling process, already gone.
int EndedProcessId() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

// Runs the script as the detached launch would, but waits for it; its run time in seconds.
double RunScript(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

platform::RemovalPlan ScratchPlan(const UninstallRig& rig) {
  platform::RemovalPlan plan = shell::PlanUninstall(rig.context.env, EndedProcessId());
  plan.remove_settings = true;
  plan.script_folder = platform::MakePrivateTempFolder(rig.context.env.temp_folder, "script-");
  plan.round_pause = "0.1";
  return plan;
}

std::string WriteScript(const platform::RemovalPlan& plan) {
  const std::string path = plan.script_folder + "/uninstall.sh";
  WriteFile(path, platform::RemovalScript(plan));
  return path;
}

TEST(UninstallScript, EndsTheRunningCopyAndRemovesEverything) {
  UninstallRig rig;
  const std::string program = rig.Install() + "/nulldrift";
  fs::copy_file("/bin/sleep", program, fs::copy_options::overwrite_existing);
  fs::permissions(program, fs::perms::owner_all);
  const pid_t copy = ::fork();
  if (copy == 0) {
    ::execl(program.c_str(), "nulldrift", "30", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // until it runs our file

  shell::CreateShortcutSet(rig.context, "https://example.org");
  const platform::RemovalPlan plan = ScratchPlan(rig);
  EXPECT_LT(RunScript(WriteScript(plan)), 10.0);

  int status = 0;
  pid_t reaped = 0;
  for (int i = 0; i < 50 && reaped == 0; ++i) {
    reaped = ::waitpid(copy, &status, WNOHANG);
    if (reaped == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (reaped == 0) {  // still running: end it ourselves so that the test does not hang
    ::kill(copy, SIGKILL);
    ::waitpid(copy, &status, 0);
  }
  EXPECT_EQ(reaped, copy);
  EXPECT_TRUE(WIFSIGNALED(status));
  for (const std::string& gone : {rig.Install(), shell::ShortcutFolder(rig.context.env),
                                  rig.context.env.common_desktop_folder + "/Nulldrift 3.desktop",
                                  rig.context.env.data_folder, plan.script_folder}) {
    EXPECT_FALSE(fs::exists(gone)) << gone;
  }
  EXPECT_TRUE(fs::exists(rig.context.env.program_files_folder));
  EXPECT_TRUE(fs::exists(rig.context.env.common_programs_folder));
}

TEST(UninstallScript, GivesUpOnAnUndeletableExecutableAfterItsRounds) {
  if (::geteuid() == 0) GTEST_SKIP() << "root deletes from read-only folders";
  UninstallRig rig;
  fs::permissions(rig.Install(), fs::perms::owner_read | fs::perms::owner_exec);
  platform::RemovalPlan plan = ScratchPlan(rig);
  plan.rounds = 5;
  plan.remove_settings = false;
  EXPECT_LT(RunScript(WriteScript(plan)), 3.0);
  fs::permissions(rig.Install(), fs::perms::owner_all);
  EXPECT_TRUE(fs::exists(rig.Install() + "/nulldrift"));
  EXPECT_TRUE(fs::exists(rig.context.env.data_folder));
  EXPECT_FALSE(fs::exists(shell::ShortcutFolder(rig.context.env)));
  EXPECT_FALSE(fs::exists(plan.script_folder));
}

}  // namespace
}  // namespace nd::test
