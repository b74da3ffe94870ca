// The headless runner as a user starts it: results, exit status, Ctrl-C, and the wizard's
// stored choices left alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "integration/scratch_volume.h"
#include "unit/test_support.h"

namespace nd::test {
namespace {

const std::string kRunner = std::string(ND_BUILD_DIR) + "/nulldrift-clean";

struct Result {
  int status = -1;
  std::string output;
};

// Runs the runner with scratch folders; `on_output` may send it a signal once it has printed
// a given text.
Result RunCleaner(const std::vector<std::string>& args, const std::string& mounts,
                  const ScratchFolder& home, const std::string& interrupt_after = "") {
  int out[2];
  if (::pipe(out) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::setenv("NULLDRIFT_MOUNTS", mounts.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    std::vector<char*> argv = {const_cast<char*>(kRunner.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(kRunner.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  Result result;
  bool interrupted = interrupt_after.empty();
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    result.output.append(buffer, static_cast<size_t>(n));
    if (!interrupted && result.output.find(interrupt_after) != std::string::npos) {
      ::kill(pid, SIGINT);
      interrupted = true;
    }
  }
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(Runner, CleansAVolumeAndLeavesTheWizardsChoicesAlone) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 96ull << 20);
  if (!volume.Ready()) GTEST_SKIP() << volume.SkipReason();
  ScratchFolder home;
  Result result = RunCleaner({"--way", "2", "--method", "digits", volume.MountPoint()},
                             volume.MountPoint(), home);
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("D: Completed successfully"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("Overwrite free space"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(volume.MountPoint() + "/NDRF_temp"));
  std::string settings = ReadFile(home / "config/Nulldrift/NDRF.ini");
  EXPECT_EQ(settings.find("SecurityWay"), std::string::npos);
  EXPECT_EQ(settings.find("SecurityMethod"), std::string::npos);
  EXPECT_NE(settings.find("-cleanway2-ntfs1="), std::string::npos);  // the measured speed
  EXPECT_EQ(ReadFile(home / "data/NDRF3/log.txt").substr(0, 2), "1|");
}

TEST(Runner, InterruptStopsTheFillAndStillDeletesItsFiles) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 1ull << 30);
  if (!volume.Ready()) GTEST_SKIP() << volume.SkipReason();
  ScratchFolder home;
  Result result =
      RunCleaner({"--way", "2", "D"}, volume.MountPoint(), home, "Overwrite free space");
  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_NE(result.output.find("D: Stopped by the user"), std::string::npos) << result.output;
  EXPECT_FALSE(std::filesystem::exists(volume.MountPoint() + "/NDRF_temp"));
  // The copy source in the data folder goes at the end of a fill that ran. The interrupt may
  // land in the moment between the fill's title and its first unit; the fill then never
  // starts and the copy source stays for the next job to overwrite, as after a stop while it
  // was being written. So only the volume is checked here.
}

TEST(Runner, RefusesWhatItCannotClean) {
  ScratchFolder home;
  EXPECT_EQ(RunCleaner({"--help"}, "", home).status, 0);
  Result missing = RunCleaner({"Q"}, "/nonexistent", home);
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.output.find("Q is not a volume"), std::string::npos);
  EXPECT_EQ(RunCleaner({"--way", "9", "D"}, "", home).status, 2);
}

}  // namespace
}  // namespace nd::test
