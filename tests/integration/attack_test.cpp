// Another local user turning a cleaning job against somebody's files, and faults that cut a job
// off: a planted or swapped work folder, links in the data folder, a kill at the worst moment,
// a lazy unmount, two cleanings of one volume, FIFOs in place of the program's files and a full
// data folder. Each case runs with the job as root and, where it means something, as an
// ordinary user; the victims' files are compared byte for byte afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/small_file_pass.h"
#include "engine/working_page.h"
#include "integration/real_job.h"
#include "integration/scratch_volume.h"
#include "unit/test_support.h"

extern char** environ;

namespace nd::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uid_t kRoot = 0;
constexpr uid_t kUser = 65534;      // an ordinary user who runs a job ("nobody")
constexpr uid_t kAttacker = 54321;  // another local user; needs no account
constexpr uint64_t kVolumeSize = 64ull << 20;

const std::string kRunner = std::string(ND_BUILD_DIR) + "/nulldrift-clean";
const std::string kCopyName = "000-ws1-012345678901234567890123456789";

// What the runner prints for the one volume it cleans (it calls it D).
const std::string kCompleted = "D: Completed successfully";
const std::string kForeignFolder = "D: Not cleaned: NDRF_temp there is another user's";
const std::string kLinkFolder = "D: Not cleaned: NDRF_temp there is a link";
const std::string kBusy = "D: Not cleaned: another cleaning is running on this disk";
const std::string kGone = "Failed: the disk was unmounted or its work folder replaced";
const std::string kDataFolderFull = "D: Failed: no room for the filler data in the program's data";
const std::string kNotReady = "disk not ready";

std::string Who(uid_t uid) { return uid == kRoot ? "as root" : "as an ordinary user"; }

uint64_t Checksum(const std::string& path) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : ReadFile(path)) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

std::map<std::string, uint64_t> Checksums(const std::vector<std::string>& paths) {
  std::map<std::string, uint64_t> sums;
  for (const std::string& path : paths) sums[path] = Checksum(path);
  return sums;
}

// Everything a look inside a folder could change: each entry's identity, links, size, times
// and owner, and the folder's own. Also proves that nothing was added or removed.
std::map<std::string, std::string> Fingerprint(const std::string& folder) {
  std::map<std::string, std::string> marks;
  auto mark = [&marks](const std::string& key, const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    marks[key] = std::to_string(st.st_ino) + "/" + std::to_string(st.st_nlink) + "/" +
                 std::to_string(st.st_size) + "/" + std::to_string(st.st_mtim.tv_nsec) + "/" +
                 std::to_string(st.st_ctim.tv_nsec) + "/" + std::to_string(st.st_mode) + "/" +
                 std::to_string(st.st_uid);
  };
  mark(".", folder);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    mark(entry.path().filename().string(), entry.path().string());
  }
  return marks;
}

size_t FileCount(const std::string& folder) {
  std::error_code ec;
  size_t count = 0;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    ++count;
  }
  return count;
}

uint64_t FreeBytes(const std::string& mount) {
  struct statvfs st {};
  if (::statvfs(mount.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
}

std::string PoolFile(const ScratchVolume& volume) {
  return "/sys/fs/ext4/" + fs::path(volume.Device()).filename().string() + "/reserved_clusters";
}

// An ext4 volume whose root everybody may write in, with the sticky bit, as /tmp or a shared
// data disk: the setting in which another user can plant a work folder.
std::unique_ptr<ScratchVolume> SharedVolume(uint64_t size = kVolumeSize) {
  auto volume = ScratchVolume::Make(ScratchVolume::Kind::kExt4, size);
  if (volume->Ready()) ::chmod(volume->MountPoint().c_str(), 01777);
  return volume;
}

// A user's own files on the volume, which nothing may change: one per name the job writes.
std::vector<std::string> PlantVictimFiles(const std::string& root, uid_t owner) {
  std::string folder = root + "/victim-" + std::to_string(owner);
  fs::create_directories(folder);
  ::chown(folder.c_str(), owner, owner);
  std::vector<std::string> files;
  for (int i = 0; i < 5; ++i) {
    std::string path = folder + "/letter-" + std::to_string(i) + ".txt";
    WriteFile(path, "Dear diary, entry " + std::to_string(i) + std::string(3000 * i, '.'));
    ::chown(path.c_str(), owner, owner);
    ::chmod(path.c_str(), 0644);
    files.push_back(path);
  }
  ::sync();
  return files;
}

// The names a job writes first in each of its steps, for links to point from.
std::vector<std::string> JobNames() {
  return {"test.txt", engine::SmallFileName(0), engine::SmallFileName(1), "fw1", kCopyName};
}

// Hard links under the job's names in `folder` to the victim's files.
void LinkVictimsInto(const std::string& folder, const std::vector<std::string>& victims) {
  std::vector<std::string> names = JobNames();
  for (size_t i = 0; i < names.size() && i < victims.size(); ++i) {
    fs::create_hard_link(victims[i], folder + "/" + names[i]);
  }
}

void ChownTree(const std::string& path, uid_t uid) {
  ::lchown(path.c_str(), uid, uid);
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(path, ec)) {
    ::lchown(entry.path().c_str(), uid, uid);
  }
}

// The runner's data and settings folders, owned by the user who runs it.
struct RunnerHome {
  explicit RunnerHome(uid_t uid = kRoot) {
    fs::create_directories(data);
    fs::create_directories(config);
    ChownTree(folder.path(), uid);
  }
  // The result code of the latest volume in the job log ("" when there is none).
  std::string LastCode() const {
    std::string log = ReadFile(data + "/NDRF3/log.txt");
    return log.substr(0, log.find('|'));
  }
  ScratchFolder folder;
  std::string data = folder / "data";
  std::string config = folder / "config";
};

// The headless runner in a process of its own, as `uid`, restricted to `mounts`. Its output is
// read as it comes, so that a test can act at a chosen line; it is killed when the test ends.
class RunnerProcess {
 public:
  RunnerProcess(const std::vector<std::string>& args, const std::string& mounts,
                const std::string& data_home, const std::string& config_home, uid_t uid = kRoot) {
    std::vector<std::string> env_text = {"NULLDRIFT_MOUNTS=" + mounts, "XDG_DATA_HOME=" + data_home,
                                         "XDG_CONFIG_HOME=" + config_home, "LANG=C"};
    for (char** e = environ; *e; ++e) {
      std::string_view entry(*e);
      std::string_view name = entry.substr(0, entry.find('='));
      if (name != "NULLDRIFT_MOUNTS" && name != "XDG_DATA_HOME" && name != "XDG_CONFIG_HOME" &&
          name != "LANG" && name != "LC_ALL") {
        env_text.emplace_back(entry);
      }
    }
    std::vector<std::string> argv_text = {kRunner};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argv_text) argv.push_back(a.data());
    for (std::string& e : env_text) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(out[1], 2);
      int null = ::open("/dev/null", O_RDONLY);
      if (null >= 0) ::dup2(null, 0);
      if (uid != kRoot && !BecomeUser(uid)) ::_exit(126);
      ::execve(kRunner.c_str(), argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
  }
  ~RunnerProcess() {
    if (pid_ > 0 && status_ == kRunning) {
      ::kill(pid_, SIGCONT);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  RunnerProcess(const RunnerProcess&) = delete;
  RunnerProcess& operator=(const RunnerProcess&) = delete;

  // Reads until the output holds `text`; false when the runner ends or takes too long first.
  bool WaitFor(std::string_view text, std::chrono::seconds patience = std::chrono::seconds(60)) {
    auto deadline = Clock::now() + patience;
    while (output_.find(text) == std::string::npos) {
      if (!ReadSome(deadline)) return false;
    }
    return true;
  }

  // Reads on until `ready` holds, looking about every 5 ms; false when that takes too long.
  bool WaitUntil(const std::function<bool()>& ready,
                 std::chrono::seconds patience = std::chrono::seconds(60)) {
    auto deadline = Clock::now() + patience;
    while (!ready()) {
      if (Clock::now() >= deadline || out_ < 0) return false;
      auto soon = std::min(deadline, Clock::now() + std::chrono::milliseconds(5));
      if (!ReadSome(soon)) std::this_thread::sleep_until(soon);
    }
    return true;
  }

  void Signal(int signal) const {
    if (pid_ > 0 && status_ == kRunning) ::kill(pid_, signal);
  }

  // Reads to the end and reaps the runner; one that has not ended within `patience` is killed
  // and false comes back.
  bool Finish(std::chrono::seconds patience = std::chrono::seconds(90)) {
    auto deadline = Clock::now() + patience;
    while (ReadSome(deadline)) {
    }
    bool in_time = Clock::now() < deadline;
    if (pid_ <= 0 || status_ != kRunning) return in_time;
    int status = 0;
    while (in_time && ::waitpid(pid_, &status, WNOHANG) == 0) {
      in_time = Clock::now() < deadline;
      if (in_time) ::usleep(20'000);
    }
    if (!in_time) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : kKilled;
    return in_time;
  }

  // The exit status once Finish has returned; kKilled after a signal.
  int status() const { return status_; }
  const std::string& output() const { return output_; }

  static constexpr int kRunning = -2;
  static constexpr int kKilled = -1;

 private:
  // False at the end of the output or past the deadline.
  bool ReadSome(Clock::time_point deadline) {
    if (out_ < 0) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd wait{out_, POLLIN, 0};
    if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[4096];
    ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = kRunning;
  std::string output_;
};

// Runs the runner to its end; the process is handed back for its status and output.
std::unique_ptr<RunnerProcess> RunToEnd(const std::vector<std::string>& args,
                                        const std::string& mounts, const RunnerHome& home,
                                        uid_t uid = kRoot) {
  auto runner = std::make_unique<RunnerProcess>(args, mounts, home.data, home.config, uid);
  runner->Finish();
  return runner;
}

// The result of an in-process job as "<code>|<result row>".
std::string Outcome(RealJob& job) {
  return engine::NumberText(job.state.WorkStatus) + "|" + job.ReportText();
}

// Runs `work` (a job and what is said of it) as `uid`: in this process for root, else in a
// child that may write the job's data folder.
std::string AsUser(RealJob& job, uid_t uid, const std::function<std::string()>& work) {
  if (uid == kRoot) return work();
  job.OpenTo(uid);
  return InChildAs(uid, work).value_or("the child failed");
}

std::string RunJobAs(RealJob& job, int way, uid_t uid) {
  return AsUser(job, uid, [&] {
    job.Run(way);
    return Outcome(job);
  });
}

std::string Expected(engine::WorkStatusCode code, const std::string& text) {
  return engine::NumberText(code) + "|" + text;
}

#define NEED_VOLUME(volume)                                       \
  if (!(volume)->Ready()) GTEST_SKIP() << (volume)->SkipReason(); \
  static_assert(true)

// A work folder that another user made in a shared root, with hard links to the job user's
// files under the job's names, or a link in its place: refused, and not one entry in it opened,
// written or deleted, by the runner's sweep or by the job.
TEST(Attack, AnotherUsersWorkFolderIsLeftAlone) {
  auto volume = SharedVolume();
  NEED_VOLUME(volume);
  const std::string work = volume->MountPoint() + "/NDRF_temp";
  for (uid_t uid : {kRoot, kUser}) {
    std::vector<std::string> victims = PlantVictimFiles(volume->MountPoint(), uid);
    auto sums = Checksums(victims);
    RunnerHome home(uid);
    for (mode_t mode : {0777, 0755, 0}) {
      SCOPED_TRACE(Who(uid) + ", folder mode " + std::to_string(mode));
      if (mode == 0) {
        fs::create_directory_symlink(fs::path(victims[0]).parent_path(), work);
      } else {
        fs::create_directory(work);
        LinkVictimsInto(work, victims);
        ::chown(work.c_str(), kAttacker, kAttacker);
        ::chmod(work.c_str(), mode);
      }
      ::lchown(work.c_str(), kAttacker, kAttacker);
      auto before = Fingerprint(work);
      auto runner = RunToEnd({"--way", "2", "D"}, volume->MountPoint(), home, uid);
      EXPECT_EQ(runner->status(), 1) << runner->output();
      EXPECT_EQ(home.LastCode(), "2");
      EXPECT_NE(runner->output().find(mode == 0 ? kLinkFolder : kForeignFolder), std::string::npos)
          << runner->output();
      EXPECT_NE(runner->output().find("is left alone"), std::string::npos) << runner->output();
      EXPECT_EQ(runner->output().find(kNotReady), std::string::npos) << runner->output();
      EXPECT_EQ(Fingerprint(work), before);
      EXPECT_EQ(Checksums(victims), sums);
      fs::remove_all(work);
    }
  }
}

// The job user's own leftover, into which root linked a file of that user under the job's
// names: the job replaces the names and never writes through them.
TEST(Attack, LinksInTheUsersOwnLeftoverAreNeverWrittenThrough) {
  auto volume = SharedVolume();
  NEED_VOLUME(volume);
  const std::string work = volume->MountPoint() + "/NDRF_temp";
  for (uid_t uid : {kRoot, kUser}) {
    SCOPED_TRACE(Who(uid));
    std::vector<std::string> victims = PlantVictimFiles(volume->MountPoint(), uid);
    auto sums = Checksums(victims);
    fs::create_directory(work);
    ::chmod(work.c_str(), 0700);
    LinkVictimsInto(work, victims);
    ::chown(work.c_str(), uid, uid);
    RealJob job(volume->MountPoint());
    EXPECT_EQ(RunJobAs(job, 2, uid), Expected(engine::kStatusCompleted, "Completed successfully"));
    EXPECT_EQ(Checksums(victims), sums);
    for (const std::string& victim : victims) EXPECT_EQ(fs::hard_link_count(victim), 1u);
    EXPECT_FALSE(fs::exists(work));
  }
}

// Moves the work folder aside and puts a link to `target` in its place, as another user could
// while the job runs. The folder moved aside stays on the job's volume.
bool SwapForLink(const std::string& work, const std::string& target) {
  return ::rename(work.c_str(), (work + "-moved").c_str()) == 0 &&
         ::symlink(target.c_str(), work.c_str()) == 0;
}

// The work folder swapped for a link to a folder on another volume in the middle of the
// small-file pass, and in the middle of the deletion: not one file written or deleted there;
// the job's files go from the folder it made, and the volume fails with the running sub-step's
// code.
TEST(Attack, WorkFolderSwappedForALinkRedirectsNothing) {
  auto volume = SharedVolume();
  NEED_VOLUME(volume);
  auto other = ScratchVolume::Make(ScratchVolume::Kind::kTmpfs, 16ull << 20);
  NEED_VOLUME(other);
  // The other volume's folder holds files under the job's names, as bait for writes and
  // deletions by name, and lets everybody write.
  const std::string target = other->MountPoint() + "/shared";
  fs::create_directory(target);
  ::chmod(target.c_str(), 0777);
  for (int64_t i : {0, 1, 50, 99, 100, 101, 150, 2000}) {
    WriteFile(target + "/" + engine::SmallFileName(i), "bait " + std::to_string(i));
  }
  WriteFile(target + "/test.txt", "bait");
  const auto bait = Fingerprint(target);
  std::vector<std::string> bait_files;
  for (const auto& entry : fs::directory_iterator(target)) bait_files.push_back(entry.path());
  const auto bait_sums = Checksums(bait_files);
  const std::string work = volume->MountPoint() + "/NDRF_temp";

  struct Moment {
    std::string what;
    std::string_view op;
    engine::WorkStatusCode code;
  };
  for (const Moment& moment :
       {Moment{"in the small-file pass", "write", engine::kStatusSmallFilesFailed},
        Moment{"in the deletion", "delete", engine::kStatusDeletionFailed}}) {
    for (uid_t uid : {kRoot, kUser}) {
      SCOPED_TRACE(moment.what + ", " + Who(uid));
      RealJob job(volume->MountPoint());
      int seen = 0;
      bool swapped = false;
      job.access.on_op = [&](std::string_view op, const std::string& path) {
        if (op != moment.op || path.find("/bo") == std::string::npos) return;
        if (++seen == 100) swapped = SwapForLink(work, target);
      };
      std::string outcome = AsUser(job, uid, [&] {
        job.Run(1);
        return Outcome(job) + (swapped ? "" : "|not swapped");
      });
      EXPECT_EQ(outcome, Expected(moment.code, kGone));
      EXPECT_EQ(Fingerprint(target), bait);
      EXPECT_EQ(Checksums(bait_files), bait_sums);
      // The folder the job made is emptied through its handle; the link is not the job's.
      EXPECT_EQ(FileCount(work + "-moved"), 0u);
      EXPECT_TRUE(fs::is_symlink(work));
      fs::remove(work);
      fs::remove_all(work + "-moved");
    }
  }
}

// A data folder that belongs to another user (as after "sudo -E") with the trace, the log's
// new copy, the log itself and the copy source as links to root-only files: a root job changes
// none of them.
TEST(Attack, LinksInTheDataFolderLeadNowhere) {
  auto volume = ScratchVolume::Make(ScratchVolume::Kind::kExt4, kVolumeSize);
  NEED_VOLUME(volume);
  ScratchFolder secrets;
  std::vector<std::string> targets;
  for (const char* name : {"shadow-1", "shadow-2", "shadow-3", "shadow-4"}) {
    targets.push_back(secrets / name);
    WriteFile(targets.back(), std::string("root only: ") + name);
    ::chmod(targets.back().c_str(), 0600);
  }
  auto sums = Checksums(targets);
  for (int way : {1, 2}) {
    SCOPED_TRACE("way " + std::to_string(way));
    RealJob job(volume->MountPoint());
    const std::string data = job.context.env.data_folder;
    fs::create_symlink(targets[0], data + "/fileerror.txt");
    fs::create_symlink(targets[1], data + "/temp.log");
    fs::create_symlink(targets[2], data + "/log.txt");
    fs::create_symlink(targets[3], data + "/temp.xd");
    job.OpenTo(kUser);
    job.Run(way);
    // Without a copy source the filler data cannot be prepared; way 1 needs none.
    EXPECT_EQ(job.state.WorkStatus,
              way == 1 ? engine::kStatusCompleted : engine::kStatusCopySourceFailed);
    EXPECT_EQ(Checksums(targets), sums);
    EXPECT_FALSE(fs::exists(volume->MountPoint() + "/NDRF_temp"));
  }
}

// Killed right after it said that it deletes the work files, the volume full: the next run
// sweeps the leftover first, cleans and frees the volume.
TEST(Attack, NextRunFreesAVolumeThatAKilledRunLeftFull) {
  for (uid_t uid : {kRoot, kUser}) {
    SCOPED_TRACE(Who(uid));
    auto volume = SharedVolume();
    NEED_VOLUME(volume);
    std::string mount = volume->MountPoint();
    uint64_t free_before = FreeBytes(mount);
    RunnerHome home(uid);
    {
      RunnerProcess runner({"--way", "2", "D"}, mount, home.data, home.config, uid);
      ASSERT_TRUE(runner.WaitFor("Delete the work files")) << runner.output();
      runner.Signal(SIGKILL);
      runner.Finish();
      EXPECT_EQ(runner.status(), RunnerProcess::kKilled);
    }
    ASSERT_TRUE(fs::is_directory(mount + "/NDRF_temp"));
    EXPECT_LT(FreeBytes(mount), free_before / 4);
    auto again = RunToEnd({"--way", "1", "D"}, mount, home, uid);
    EXPECT_EQ(again->status(), 0) << again->output();
    EXPECT_EQ(home.LastCode(), "1");
    EXPECT_NE(again->output().find("left behind by an interrupted cleaning"), std::string::npos)
        << again->output();
    EXPECT_NE(again->output().find(kCompleted), std::string::npos) << again->output();
    EXPECT_FALSE(fs::exists(mount + "/NDRF_temp"));
    EXPECT_GE(FreeBytes(mount) + (1u << 20), free_before);
  }
}

// Killed at the end of the fill, while ext4's reserved pool is set aside: the pool stays empty
// until the next start of the runner gives it back. Only root sets the pool aside.
TEST(Attack, ReservedPoolOfAKilledFillComesBackAtTheNextStart) {
  auto volume = SharedVolume();
  NEED_VOLUME(volume);
  std::string mount = volume->MountPoint();
  const std::string pool_file = PoolFile(*volume);
  const std::string pool = ReadFile(pool_file);
  ASSERT_NE(pool, "0\n");
  RunnerHome home;
  {
    RunnerProcess runner({"--way", "2", "D"}, mount, home.data, home.config);
    ASSERT_TRUE(runner.WaitUntil([&] { return ReadFile(pool_file) == "0\n"; })) << runner.output();
    runner.Signal(SIGKILL);
    runner.Finish();
  }
  EXPECT_EQ(ReadFile(pool_file), "0\n");
  auto again = RunToEnd({"--way", "1", "D"}, mount, home);
  EXPECT_EQ(again->status(), 0) << again->output();
  EXPECT_EQ(ReadFile(pool_file), pool);
  EXPECT_FALSE(fs::exists(mount + "/NDRF_temp"));
}

// Unmounted lazily in the middle of the fill: a failure, not a success, and the runner ends;
// what it wrote is gone from the volume when it is mounted again.
TEST(Attack, LazyUnmountDuringTheFillIsReportedAsAFailure) {
  for (uid_t uid : {kRoot, kUser}) {
    SCOPED_TRACE(Who(uid));
    auto volume = SharedVolume();
    NEED_VOLUME(volume);
    std::string mount = volume->MountPoint();
    uint64_t free_before = FreeBytes(mount);
    RunnerHome home(uid);
    RunnerProcess runner({"--way", "2", "D"}, mount, home.data, home.config, uid);
    ASSERT_TRUE(runner.WaitFor("Overwrite free space")) << runner.output();
    ASSERT_EQ(ScratchVolume::Run({"umount", "-l", mount}), 0);
    EXPECT_TRUE(runner.Finish(std::chrono::seconds(60))) << runner.output();
    EXPECT_EQ(runner.status(), 1) << runner.output();
    EXPECT_EQ(home.LastCode(), "3");
    EXPECT_EQ(runner.output().find(kCompleted), std::string::npos) << runner.output();
    // The fill fails where the free space can no longer be read, before the check of the
    // folder: the fill's own text, then.
    EXPECT_NE(runner.output().find("D: Failed"), std::string::npos) << runner.output();
    // The runner has let go of the volume; mounted again, it shows what the job left: its
    // files went through the folder's handle. The folder itself, no longer reachable by its
    // path, is only removed while in place; the next run sweeps it.
    ASSERT_EQ(ScratchVolume::Run({"mount", "-t", "ext4", volume->Device(), mount}), 0);
    EXPECT_EQ(FileCount(mount + "/NDRF_temp"), 0u);
    // Less only the blocks of that folder, grown for thousands of names.
    struct stat folder {};
    ASSERT_EQ(::lstat((mount + "/NDRF_temp").c_str(), &folder), 0);
    EXPECT_GE(FreeBytes(mount) + static_cast<uint64_t>(folder.st_blocks) * 512 + (64u << 10),
              free_before);
  }
}

// A second runner on a volume that a first one is cleaning: the second stops at once and says
// why, the first finishes as if alone. Same user and either user first.
TEST(Attack, SecondCleaningOfAVolumeStopsAndSaysWhy) {
  auto volume = SharedVolume();
  NEED_VOLUME(volume);
  std::string mount = volume->MountPoint();
  struct Pair {
    uid_t first, second;
    std::string second_says;
  };
  for (const Pair& pair : {Pair{kRoot, kRoot, kBusy}, Pair{kUser, kUser, kBusy},
                           Pair{kUser, kRoot, kBusy}, Pair{kRoot, kUser, kForeignFolder}}) {
    SCOPED_TRACE("first " + Who(pair.first) + ", second " + Who(pair.second));
    RunnerHome first_home(pair.first);
    RunnerHome second_home(pair.second);
    RunnerProcess first({"--way", "1", "D"}, mount, first_home.data, first_home.config, pair.first);
    ASSERT_TRUE(first.WaitFor("Overwrite file records")) << first.output();
    // Held still with its folder open, so that the second run surely meets it.
    first.Signal(SIGSTOP);
    auto second = RunToEnd({"--way", "1", "D"}, mount, second_home, pair.second);
    first.Signal(SIGCONT);
    EXPECT_EQ(second->status(), 1) << second->output();
    EXPECT_EQ(second_home.LastCode(), "2");
    EXPECT_NE(second->output().find(pair.second_says), std::string::npos) << second->output();
    EXPECT_TRUE(first.Finish());
    EXPECT_EQ(first.status(), 0) << first.output();
    EXPECT_EQ(first_home.LastCode(), "1");
    EXPECT_NE(first.output().find(kCompleted), std::string::npos) << first.output();
    EXPECT_FALSE(fs::exists(mount + "/NDRF_temp"));
  }
}

// FIFOs in place of the settings file and of the data folder's files: nothing blocks on them.
TEST(Attack, FifosInPlaceOfTheProgramsFilesDoNotHangIt) {
  auto volume = SharedVolume();
  NEED_VOLUME(volume);
  for (uid_t uid : {kRoot, kUser}) {
    SCOPED_TRACE(Who(uid));
    RunnerHome home(uid);
    fs::create_directories(home.config + "/Nulldrift");
    fs::create_directories(home.data + "/NDRF3");
    for (std::string path : {home.config + "/Nulldrift/NDRF.ini", home.data + "/NDRF3/log.txt",
                             home.data + "/NDRF3/fileerror.txt", home.data + "/NDRF3/temp.log"}) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0) << path;
    }
    ChownTree(home.folder.path(), uid);
    RunnerProcess runner({"--way", "1", "D"}, volume->MountPoint(), home.data, home.config, uid);
    EXPECT_TRUE(runner.Finish(std::chrono::seconds(60))) << runner.output();
    EXPECT_EQ(runner.status(), 0) << runner.output();
    EXPECT_NE(runner.output().find(kCompleted), std::string::npos) << runner.output();
  }
}

// No room in the data folder for the copy source: said as such, with the filler data's code.
TEST(Attack, FullDataFolderIsNamedAsTheCause) {
  auto volume = SharedVolume();
  NEED_VOLUME(volume);
  for (uid_t uid : {kRoot, kUser}) {
    SCOPED_TRACE(Who(uid));
    // More than the half megabyte the copy source leaves free, less than one write of it.
    auto data = ScratchVolume::Make(ScratchVolume::Kind::kTmpfs, 768u << 10);
    NEED_VOLUME(data);
    RunnerHome home(uid);
    ::chown(data->MountPoint().c_str(), uid, uid);
    RunnerProcess runner({"--way", "2", "D"}, volume->MountPoint(), data->MountPoint(), home.config,
                         uid);
    runner.Finish();
    EXPECT_EQ(runner.status(), 1) << runner.output();
    EXPECT_EQ(ReadFile(data->MountPoint() + "/NDRF3/log.txt").substr(0, 2), "5|");
    EXPECT_NE(runner.output().find(kDataFolderFull), std::string::npos) << runner.output();
    EXPECT_EQ(runner.output().find(kNotReady), std::string::npos) << runner.output();
    EXPECT_FALSE(fs::exists(volume->MountPoint() + "/NDRF_temp"));
  }
}

}  // namespace
}  // namespace nd::test
