// Throughput of the cleaning work against the physical limit of the same scratch volume, in the
// same run: the fill against dd, the small-file pass and its deletion against a plain C loop,
// and on NTFS (ntfs-3g) against dd with cached and with direct writes. Prints ratios; nothing
// here passes or fails on time. Needs root: every volume is a loop-mounted image.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/free_space_fill.h"
#include "engine/small_file_pass.h"
#include "engine/volume_access.h"
#include "engine/work_folder.h"
#include "engine/working_page_form.h"
#include "integration/scratch_volume.h"
#include "system/scramble.h"
#include "ui/scripted_host.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nd::test::ScratchVolume;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Run {
  double seconds = 0;
  uint64_t bytes = 0;
  long peak_kb = 0;
  int status = -1;
  double Rate() const { return seconds > 0 ? static_cast<double>(bytes) / seconds : 0; }
};

// Runs a program and waits for it; its peak memory comes from the kernel's accounting.
Run Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) env_strings.emplace_back(*e);
  env_strings.insert(env_strings.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (std::string& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Run run;
  auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) return run;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.seconds = Seconds(start);
  run.peak_kb = usage.ru_maxrss;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void SyncFs(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::syncfs(fd);
    ::close(fd);
  }
}

// dd from /dev/zero until the volume is full, flushed at the end, as the reference.
Run DdFill(const std::string& mount, bool direct) {
  std::string target = mount + "/dd.bin";
  std::vector<std::string> argv = {"dd", "if=/dev/zero", "of=" + target, "bs=1M"};
  argv.push_back(direct ? "oflag=direct" : "conv=fsync");
  Run run = Spawn(argv);
  run.bytes = FileSize(target);
  fs::remove(target);
  SyncFs(mount);
  return run;
}

// The engine's sub-steps on one volume, with a scripted host whose fixed waits take no time.
class EngineRig {
 public:
  EngineRig(const std::string& mount, const std::string& data_folder) : mount_guard_(mount) {
    ::setenv("NULLDRIFT_MOUNTS", mount.c_str(), 1);
    context_.env.app_data_folder = data_folder;
    context_.env.data_folder = data_folder + "/NDRF3";
    context_.env.system_drive_letter = "C";
    context_.env.version_text = "3.00";
    fs::create_directories(context_.env.data_folder);
    host_.Attach(form_);
    for (const nd::VolumeInfo& v : access_->Volumes()) {
      if (v.RootPath == mount) volume_ = v;
    }
    in_.drive_letter = volume_.DriveLetter;
    folder_path_ = mount + "/NDRF_temp";
    in_.total_size = volume_.TotalSize;
    in_.file_system = volume_.FileSystem;
    OpenFolder();
  }

  // Sub-steps 2 and 3 and the flush that the deletion starts with; returns bytes filled.
  Run Fill() {
    auto job = Job();
    uint64_t before = access_->FreeSpace(in_.drive_letter).value_or(0);
    auto start = Clock::now();
    in_.step = 1;
    nd::engine::BuildCopySource(job, in_);
    double source_s = Seconds(start);
    in_.step = 2;
    nd::engine::FillFreeSpace(job, in_);
    double fill_s = Seconds(start);
    folder_->Flush();
    if (std::getenv("ND_BENCH_PHASES")) {
      std::printf("    copy source %.2f s, fill %.2f s, flush %.2f s\n", source_s,
                  fill_s - source_s, Seconds(start) - fill_s);
    }
    Run run;
    run.seconds = Seconds(start);
    run.bytes = before - access_->FreeSpace(in_.drive_letter).value_or(0);
    run.status = state_.WorkStatus;
    Clear();
    return run;
  }

  Run SmallFiles() {
    auto job = Job();
    auto start = Clock::now();
    in_.step = 0;
    nd::engine::SmallFilePass(job, in_);
    Run run;
    run.seconds = Seconds(start);
    run.bytes = static_cast<uint64_t>(state_.WorkFileCount + 1);
    run.status = state_.WorkStatus;
    return run;
  }

  // Sub-step 4: flush, delete every file, remove the folder.
  Run Clear() {
    auto job = Job();
    auto start = Clock::now();
    in_.step = 3;
    nd::engine::ClearWorkFolder(job, in_);
    Run run;
    run.seconds = Seconds(start);
    run.status = state_.WorkStatus;
    OpenFolder();
    return run;
  }

 private:
  void OpenFolder() {
    folder_.reset();
    nd::platform::FolderRefusal why{};
    folder_ = nd::engine::SetUpWorkFolder(*access_, folder_path_, why);
    in_.folder = folder_.get();
  }

  nd::engine::JobEnvironment Job() {
    state_ = {};
    return {context_, host_,   form_.Page(), state_, *access_, nd::ClockSeededRandom(),
            {},       nullptr, {},           {}};
  }

  std::string mount_guard_;
  std::string folder_path_;
  std::unique_ptr<nd::platform::WorkFolderHandle> folder_;
  nd::Context context_{{}, {"English", "", 0}, nd::SettingsStore("/nonexistent")};
  std::unique_ptr<nd::engine::VolumeAccess> access_ = nd::engine::MakeSystemVolumeAccess();
  nd::ui::ScriptedHost host_;
  nd::engine::WorkingPageForm form_;
  nd::engine::JobState state_;
  nd::VolumeInfo volume_;
  nd::engine::SubStepInput in_;
};

// A plain C loop creating the same 20,001 names, then deleting them.
std::pair<double, double> PlainLoop(const std::string& folder, int64_t count) {
  fs::create_directories(folder);
  auto start = Clock::now();
  for (int64_t i = 0; i <= count; ++i) {
    std::string path = folder + "/" + nd::engine::SmallFileName(i);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) ::close(fd);
  }
  double create = Seconds(start);
  start = Clock::now();
  SyncFs(folder);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path());
  for (const std::string& name : names) ::unlink(name.c_str());
  ::rmdir(folder.c_str());
  return {create, Seconds(start)};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void FillBench(uint64_t size, const std::string& data, const std::string& cleaner) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, size);
  if (!volume.Ready()) {
    std::printf("  skipped: %s\n", volume.SkipReason().c_str());
    return;
  }
  const std::string& mount = volume.MountPoint();
  std::vector<double> dd, ours;
  EngineRig rig(mount, data);
  // The first fill of a fresh image also allocates the image file's blocks; not counted.
  DdFill(mount, false);
  for (int round = 0; round < 3; ++round) {
    Run reference = DdFill(mount, false);
    Run fill = rig.Fill();
    dd.push_back(reference.Rate());
    ours.push_back(fill.Rate());
    std::printf("  round %d: dd %.0f MB/s (%.2f s), fill %.0f MB/s (%.2f s, %llu bytes, code %d)\n",
                round + 1, reference.Rate() / 1e6, reference.seconds, fill.Rate() / 1e6,
                fill.seconds, static_cast<unsigned long long>(fill.bytes), fill.status);
  }
  std::printf("  fill / dd = %.3f (medians %.0f / %.0f MB/s)\n", Median(ours) / Median(dd),
              Median(ours) / 1e6, Median(dd) / 1e6);
  Run job =
      Spawn({cleaner, "--way", "2", mount}, {"NULLDRIFT_MOUNTS=" + mount, "XDG_DATA_HOME=" + data,
                                             "XDG_CONFIG_HOME=" + data + "/config"});
  std::printf(
      "  whole way-2 job (nulldrift-clean, fixed waits included): %.2f s, exit %d, "
      "peak memory %.1f MB\n",
      job.seconds, job.status, static_cast<double>(job.peak_kb) / 1024);
}

void SmallFileBench(const std::string& data) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 1ull << 30);
  if (!volume.Ready()) return;
  const std::string& mount = volume.MountPoint();
  EngineRig rig(mount, data);
  std::vector<double> c_create, c_delete, our_create, our_delete;
  int64_t files = 0;
  // Alternating which one goes first, so that neither always finds a freshly emptied table.
  for (int round = 0; round < 8; ++round) {
    Run pass, clear;
    if (round % 2 == 1) {
      pass = rig.SmallFiles();
      clear = rig.Clear();
    }
    auto [create, remove] = PlainLoop(mount + "/plain", 20'000);
    c_create.push_back(create);
    c_delete.push_back(remove);
    if (round % 2 == 0) {
      pass = rig.SmallFiles();
      clear = rig.Clear();
    }
    files = static_cast<int64_t>(pass.bytes);
    our_create.push_back(pass.seconds);
    our_delete.push_back(clear.seconds);
  }
  std::printf("  %lld files; create: C loop %.3f s, pass %.3f s, ratio %.3f\n",
              static_cast<long long>(files), Median(c_create), Median(our_create),
              Median(c_create) / Median(our_create));
  std::printf("  flush + delete: C loop %.3f s, deletion %.3f s, ratio %.3f\n", Median(c_delete),
              Median(our_delete), Median(c_delete) / Median(our_delete));
}

void NtfsBench(const std::string& data) {
  ScratchVolume volume(ScratchVolume::Kind::kNtfs, 2ull << 30);
  if (!volume.Ready()) {
    std::printf("  skipped: %s\n", volume.SkipReason().c_str());
    return;
  }
  const std::string& mount = volume.MountPoint();
  EngineRig rig(mount, data);
  DdFill(mount, true);  // allocates the image file's blocks; not counted
  Run cached = DdFill(mount, false);
  Run direct = DdFill(mount, true);
  Run fill = rig.Fill();
  std::printf("  dd cached %.0f MB/s, dd direct %.0f MB/s, fill %.0f MB/s (code %d)\n",
              cached.Rate() / 1e6, direct.Rate() / 1e6, fill.Rate() / 1e6, fill.status);
  std::printf("  fill / dd cached = %.2f, fill / dd direct = %.2f\n", fill.Rate() / cached.Rate(),
              fill.Rate() / direct.Rate());
}

}  // namespace

int main(int argc, char** argv) {
  if (::geteuid() != 0) {
    std::fprintf(stderr, "The benchmarks loop-mount scratch volumes and need root.\n");
    return 1;
  }
  std::string cleaner = (fs::path(argv[0]).parent_path() / "nulldrift-clean").string();
  std::string mode = argc > 1 ? argv[1] : "";
  bool quick = mode == "--quick";
  auto wanted = [&mode](const char* part) {
    return mode.empty() || mode == "--quick" || mode == part;
  };
  // The copy source and the job log go to a scratch tmpfs, not to the machine's disk.
  ScratchVolume data(ScratchVolume::Kind::kTmpfs, 256ull << 20);
  if (!data.Ready()) {
    std::fprintf(stderr, "%s\n", data.SkipReason().c_str());
    return 1;
  }
  ::setenv("XDG_DATA_HOME", data.MountPoint().c_str(), 1);
  if (wanted("--small")) {
    std::printf("Small-file pass and deletion, ext4 1 GiB (20,001 files):\n");
    SmallFileBench(data.MountPoint());
  }
  if (wanted("--fill")) {
    std::printf("Fill, ext4 2 GiB:\n");
    FillBench(2ull << 30, data.MountPoint(), cleaner);
    if (!quick) {
      std::printf("Fill, ext4 8 GiB:\n");
      FillBench(8ull << 30, data.MountPoint(), cleaner);
    }
  }
  if (wanted("--ntfs")) {
    std::printf("Fill, NTFS (ntfs-3g) 2 GiB:\n");
    NtfsBench(data.MountPoint());
  }
  return 0;
}
