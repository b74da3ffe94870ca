// The cleaning work against the device's limit and against the tools a user would pick instead,
// on scratch volumes that behave like a disk: each image is written in full once, attached with
// direct I/O (nothing lands in the host's page cache), and gets a fresh file system and cold
// caches before every run. Tools run alternating, three rounds, medians; the free space is
// polled every 10 ms. Prints ratios; nothing here passes or fails on time. Needs root.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench_common.h"
#include "engine/free_space_fill.h"
#include "engine/small_file_pass.h"
#include "engine/volume_access.h"
#include "engine/work_folder.h"
#include "engine/working_page_form.h"
#include "integration/scratch_volume.h"
#include "system/scramble.h"
#include "ui/scripted_host.h"

extern char** environ;

namespace nd::bench {

namespace fs = std::filesystem;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool HasProgram(const std::string& name) {
  for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
    if (::access((std::string(dir) + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, long* peak_kb,
          const std::string& folder) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // `env` replaces variables of the same name: a program may read the first of two.
  auto named = [](const std::string& entry) { return entry.substr(0, entry.find('=') + 1); };
  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& given) {
      return named(given) == named(entry);
    });
    if (!replaced) env_strings.push_back(std::move(entry));
  }
  env_strings.insert(env_strings.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (std::string& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  if (peak_kb) *peak_kb = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint64_t FreeBytes(const std::string& mount) {
  struct statvfs st {};
  if (::statvfs(mount.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
}

void SyncAndDropCaches() {
  ::sync();
  int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
  if (fd >= 0) {
    (void)!::write(fd, "3\n", 2);
    ::close(fd);
  }
}

// What the block device has written so far, from its counters (sectors of 512 bytes).
uint64_t DeviceBytesWritten(const std::string& device) {
  const std::string name = fs::path(device).filename().string();
  std::FILE* f = std::fopen(("/sys/block/" + name + "/stat").c_str(), "r");
  if (f == nullptr) return 0;
  unsigned long long v[7] = {};
  const int got = std::fscanf(f, "%llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3],
                              &v[4], &v[5], &v[6]);
  std::fclose(f);
  return got == 7 ? v[6] * 512 : 0;
}

FreeSpaceTrace::FreeSpaceTrace(std::string mount) : mount_(std::move(mount)), start_(Clock::now()) {
  thread_ = std::thread([this] {
    while (!stop_) {
      samples_.emplace_back(Seconds(start_), FreeBytes(mount_));
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    samples_.emplace_back(Seconds(start_), FreeBytes(mount_));
  });
}

void FreeSpaceTrace::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

Outcome Measure(const std::vector<std::pair<double, uint64_t>>& samples, double whole) {
  Outcome out;
  out.whole = whole;
  if (samples.empty()) return out;
  uint64_t start = samples.front().second;
  out.lowest = start;
  for (const auto& [t, free] : samples) {
    if (free < out.lowest) {
      out.lowest = free;
      out.to_full = t;
    }
  }
  double drop = static_cast<double>(start - out.lowest);
  auto passing = [&](double share) {
    for (const auto& [t, free] : samples) {
      if (static_cast<double>(start - free) >= share * drop) return std::make_pair(t, free);
    }
    return samples.back();
  };
  auto [t1, f1] = passing(0.25);
  auto [t2, f2] = passing(0.85);
  if (t2 > t1) out.steady = static_cast<double>(f1 - f2) / (t2 - t1);
  return out;
}

}  // namespace nd::bench

namespace {

namespace fs = std::filesystem;
using nd::test::ScratchVolume;
using namespace nd::bench;

constexpr int kRounds = 3;

// The engine's sub-steps of way 2 on one volume, in this process, with a scripted host whose
// fixed waits take no time: small files, copy source, fill (with the reserved pool), and the
// deletion with the flush it starts with.
class EngineRig {
 public:
  EngineRig(const std::string& mount, const std::string& data_folder) {
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
    in_.total_size = volume_.TotalSize;
    in_.file_system = volume_.FileSystem;
    nd::platform::FolderRefusal why{};
    folder_ = nd::engine::SetUpWorkFolder(*access_, mount + "/NDRF_temp", why);
    in_.folder = folder_.get();
  }

  bool Ready() const { return folder_ != nullptr && !volume_.DriveLetter.empty(); }

  // Seconds of each sub-step; status of the last one that failed (1 for none).
  struct Phases {
    double small = 0, source = 0, fill = 0, deletion = 0;
    int status = 1;
  };

  Phases WayTwo(bool small_files = true) {
    Phases phases;
    auto job = Job();
    auto step = [&](nd::engine::SubStep sub, auto&& body) {
      in_.step = sub;
      auto start = Clock::now();
      body(job, in_);
      int status = nd::engine::Number(state_.WorkStatus);
      if (status != 1) phases.status = status;
      return Seconds(start);
    };
    if (small_files) {
      phases.small = step(nd::engine::SubStep::kSmallFiles, nd::engine::SmallFilePass);
    }
    phases.source = step(nd::engine::SubStep::kCopySource, nd::engine::BuildCopySource);
    phases.fill = step(nd::engine::SubStep::kFill, nd::engine::FillFreeSpace);
    phases.deletion = step(nd::engine::SubStep::kDeletion, nd::engine::ClearWorkFolder);
    return phases;
  }

  // The small-file pass alone, then its deletion.
  std::pair<double, double> SmallFiles(int64_t& files) {
    auto job = Job();
    in_.step = nd::engine::SubStep::kSmallFiles;
    auto start = Clock::now();
    nd::engine::SmallFilePass(job, in_);
    double pass = Seconds(start);
    files = state_.WorkFileCount + 1;
    in_.step = nd::engine::SubStep::kDeletion;
    start = Clock::now();
    nd::engine::ClearWorkFolder(job, in_);
    return {pass, Seconds(start)};
  }

 private:
  nd::engine::JobEnvironment Job() {
    state_ = {};
    return {context_, host_,   form_.Page(), state_, *access_, nd::ClockSeededRandom(),
            {},       nullptr, {},           {}};
  }

  std::unique_ptr<nd::platform::WorkFolderHandle> folder_;
  nd::Context context_{{}, {"English", "", 0}, nd::SettingsStore("/nonexistent")};
  std::unique_ptr<nd::engine::VolumeAccess> access_ = nd::engine::MakeSystemVolumeAccess();
  nd::ui::ScriptedHost host_;
  nd::engine::WorkingPageForm form_;
  nd::engine::JobState state_;
  nd::VolumeInfo volume_;
  nd::engine::SubStepInput in_;
};

}  // namespace

namespace nd::bench {

std::vector<Tool> Tools(const std::string& data, const std::string& cleaner, bool verbose) {
  std::vector<std::string> env = {"HOME=" + data + "/home", "XDG_DATA_HOME=" + data,
                                  "XDG_CONFIG_HOME=" + data + "/config",
                                  "XDG_CACHE_HOME=" + data + "/cache"};
  auto spawn = [env](std::vector<std::string> argv) {
    return [argv, env](const std::string& mount, Outcome& out) {
      std::vector<std::string> args;
      for (const std::string& a : argv) {
        std::string arg = a;
        if (size_t at = arg.find("{}"); at != std::string::npos) arg.replace(at, 2, mount);
        args.push_back(arg);
      }
      return Spawn(args, env, &out.peak_kb);
    };
  };
  std::vector<Tool> tools;
  tools.push_back({"dd bs=1M oflag=direct", "dd",
                   spawn({"dd", "if=/dev/zero", "of={}/dd.bin", "bs=1M", "oflag=direct"}),
                   std::nullopt});
  tools.push_back({"dd bs=1M conv=fsync", "dd",
                   spawn({"dd", "if=/dev/zero", "of={}/dd.bin", "bs=1M", "conv=fsync"}),
                   std::nullopt});
  tools.push_back({"scrub -S -p fillzero -X", "scrub",
                   spawn({"scrub", "-S", "-p", "fillzero", "-X", "{}/scrub"}), std::nullopt});
  tools.push_back({"sfill -f -l -l -z -I", "sfill",
                   spawn({"sfill", "-f", "-l", "-l", "-z", "-I", "{}"}), std::nullopt});
  tools.push_back({"bleachbit --wipe-free-space", "bleachbit",
                   spawn({"bleachbit", "--wipe-free-space", "{}"}), std::nullopt});
  tools.push_back({"nulldrift-clean --way 2", cleaner, spawn({cleaner, "--way", "2", "{}"}), 0});
  auto engine = [data, verbose](bool small_files) {
    return [data, verbose, small_files](const std::string& mount, Outcome&) {
      EngineRig rig(mount, data);
      if (!rig.Ready()) return -1;
      EngineRig::Phases p = rig.WayTwo(small_files);
      if (verbose) {
        std::printf("      small files %.2f s, copy source %.2f s, fill %.2f s, deletion %.2f s\n",
                    p.small, p.source, p.fill, p.deletion);
      }
      return p.status;
    };
  };
  tools.push_back({"way 2 without the fixed waits", "", engine(true), 1});
  // The fill on its own, on a volume as the other tools find it.
  tools.push_back({"copy source and fill alone", "", engine(false), 1});
  return tools;
}

bool Installed(const Tool& tool) {
  if (tool.program.empty()) return true;
  if (tool.program.find('/') != std::string::npos) return ::access(tool.program.c_str(), X_OK) == 0;
  return HasProgram(tool.program);
}

void SideBySide(const Comparison& c, int rounds, bool verbose) {
  std::printf("\n%s\n", c.title.c_str());
  ScratchVolume::Options options;
  options.like_a_disk = true;
  if (c.kind == ScratchVolume::Kind::kExt4) {
    options.mkfs_args =
        c.mkfs_args.empty() ? std::vector<std::string>{"-E", kExt4Extended} : c.mkfs_args;
  }
  ScratchVolume volume(c.kind, c.size, options);
  struct Done {
    const std::function<void()>& hook;
    ~Done() {
      if (hook) hook();
    }
  } done{c.done};
  if (!volume.Ready()) {
    std::printf("  skipped: %s\n", volume.SkipReason().c_str());
    return;
  }
  // The program sees this volume and nothing else.
  ::setenv("NULLDRIFT_MOUNTS", volume.MountPoint().c_str(), 1);
  std::map<std::string, std::vector<Outcome>> runs;
  for (int round = 0; round < rounds; ++round) {
    for (size_t k = 0; k < c.tools.size(); ++k) {
      // Each round starts one tool later, so that none always runs first.
      const Tool& tool = c.tools[(k + static_cast<size_t>(round)) % c.tools.size()];
      if (!Installed(tool)) continue;
      if (!volume.Reformat()) {
        std::printf("  could not make a fresh file system\n");
        return;
      }
      if (c.prepare && !c.prepare(volume)) {
        std::printf("  could not prepare the volume\n");
        return;
      }
      SyncAndDropCaches();
      const uint64_t written_before = DeviceBytesWritten(volume.Device());
      Outcome out;
      FreeSpaceTrace trace(volume.MountPoint());
      int status = tool.run(volume.MountPoint(), out);
      double whole = Seconds(trace.Start());
      trace.Stop();
      ::sync();
      const double on_device = Seconds(trace.Start());
      const uint64_t device_bytes = DeviceBytesWritten(volume.Device()) - written_before;
      long peak = out.peak_kb;
      if (const char* keep = std::getenv("ND_BENCH_TRACES")) {
        std::string name = std::string(keep) + "/" + std::to_string(c.size >> 20) + "-" +
                           std::to_string(round) + "-" + tool.name.substr(0, tool.name.find(' ')) +
                           ".txt";
        if (FILE* f = std::fopen(name.c_str(), "w")) {
          for (const auto& [t, free] : trace.Samples()) {
            std::fprintf(f, "%.3f %llu\n", t, static_cast<unsigned long long>(free));
          }
          std::fclose(f);
        }
      }
      out = Measure(trace.Samples(), whole);
      out.status = status;
      out.peak_kb = peak;
      out.on_device = on_device;
      out.device_bytes = device_bytes;
      if (verbose) {
        std::printf(
            "    %-32s full %6.2f s  whole %6.2f s  synced %6.2f s  device %5.0f MB  steady "
            "%5.0f MB/s  left %5.1f MB  exit %d\n",
            tool.name.c_str(), out.to_full, out.whole, out.on_device, out.device_bytes / 1e6,
            out.steady / 1e6, static_cast<double>(out.lowest) / 1e6, status);
      }
      runs[tool.name].push_back(out);
    }
  }
  const std::vector<Outcome>& ref = runs[c.reference];
  auto median = [](const std::vector<Outcome>& r, double Outcome::*field) {
    std::vector<double> values;
    for (const Outcome& o : r) values.push_back(o.*field);
    return Median(values);
  };
  double ref_full = median(ref, &Outcome::to_full);
  double ref_steady = median(ref, &Outcome::steady);
  const char* label = c.reference_label.c_str();
  std::printf(
      "  | tool | time to full | whole run | whole run and sync | written to the device | steady "
      "state | steady / %s | full: %s / tool | left free |\n"
      "  |---|---|---|---|---|---|---|---|---|\n",
      label, label);
  for (const Tool& tool : c.tools) {
    const std::vector<Outcome>& r = runs[tool.name];
    if (r.empty()) {
      std::printf("  | `%s` | not installed | | | | | | | |\n", tool.name.c_str());
      continue;
    }
    double full = median(r, &Outcome::to_full);
    double steady = median(r, &Outcome::steady);
    std::vector<double> left;
    for (const Outcome& o : r) left.push_back(static_cast<double>(o.lowest));
    std::vector<double> written;
    for (const Outcome& o : r) written.push_back(static_cast<double>(o.device_bytes));
    std::printf(
        "  | `%s` | %.2f s | %.2f s | %.2f s | %.0f MB | %.0f MB/s | %.2f | %.2f | %.1f MB |\n",
        tool.name.c_str(), full, median(r, &Outcome::whole), median(r, &Outcome::on_device),
        Median(written) / 1e6, steady / 1e6, ref_steady > 0 ? steady / ref_steady : 0,
        full > 0 ? ref_full / full : 0, Median(left) / 1e6);
  }
  for (const Tool& tool : c.tools) {
    if (!tool.expected_status) continue;
    int failed = 0;
    for (const Outcome& o : runs[tool.name]) failed += o.status != *tool.expected_status ? 1 : 0;
    if (failed > 0) {
      std::printf("  `%s`: %d run(s) ended without exit status %d\n", tool.name.c_str(), failed,
                  *tool.expected_status);
    }
  }
  std::vector<double> peaks;
  for (const Outcome& o : runs[c.peak_tool]) peaks.push_back(o.peak_kb / 1024.0);
  if (!peaks.empty()) std::printf("  nulldrift-clean peak memory: %.0f MB\n", Median(peaks));
}

}  // namespace nd::bench

namespace {

// Every tool on one kind of volume, alternating, kRounds rounds; then the table.
void SideBySide(const char* title, ScratchVolume::Kind kind, uint64_t size, const std::string& data,
                const std::string& cleaner, int rounds, bool verbose) {
  Comparison c;
  c.title = title;
  c.kind = kind;
  c.size = size;
  c.tools = Tools(data, cleaner, verbose);
  c.reference = "dd bs=1M oflag=direct";
  c.reference_label = "dd direct";
  c.peak_tool = "nulldrift-clean --way 2";
  nd::bench::SideBySide(c, rounds, verbose);
}

// The small-file pass against a plain C loop creating the same names, and the deletion
// against the same loop flushing and deleting them, alternating which goes first.
void SmallFileBench(const std::string& data, int rounds) {
  std::printf("\nSmall-file pass and deletion, ext4 1 GiB, direct I/O (20,001 files):\n");
  ScratchVolume::Options options;
  options.like_a_disk = true;
  options.mkfs_args = {"-E", kExt4Extended};
  ScratchVolume volume(ScratchVolume::Kind::kExt4, kGiB, options);
  if (!volume.Ready()) {
    std::printf("  skipped: %s\n", volume.SkipReason().c_str());
    return;
  }
  const std::string& mount = volume.MountPoint();
  ::setenv("NULLDRIFT_MOUNTS", mount.c_str(), 1);
  std::vector<double> c_create, c_delete, our_create, our_delete;
  int64_t files = 0;
  auto plain = [&] {
    std::string folder = mount + "/plain";
    fs::create_directories(folder);
    auto start = Clock::now();
    for (int64_t i = 0; i <= 20'000; ++i) {
      std::string path = folder + "/" + nd::engine::SmallFileName(i);
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) ::close(fd);
    }
    c_create.push_back(Seconds(start));
    start = Clock::now();
    ::sync();
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path());
    for (const std::string& name : names) ::unlink(name.c_str());
    ::rmdir(folder.c_str());
    c_delete.push_back(Seconds(start));
  };
  auto ours = [&] {
    EngineRig rig(mount, data);
    auto [pass, clear] = rig.SmallFiles(files);
    our_create.push_back(pass);
    our_delete.push_back(clear);
  };
  for (int round = 0; round < 2 * rounds; ++round) {
    if (!volume.Reformat()) return;
    SyncAndDropCaches();
    round % 2 ? ours() : plain();
    if (!volume.Reformat()) return;
    SyncAndDropCaches();
    round % 2 ? plain() : ours();
  }
  std::printf("  %lld files; create: C loop %.3f s, pass %.3f s, C loop / pass = %.3f\n",
              static_cast<long long>(files), Median(c_create), Median(our_create),
              Median(c_create) / Median(our_create));
  std::printf("  flush + delete: C loop %.3f s, deletion %.3f s, C loop / deletion = %.3f\n",
              Median(c_delete), Median(our_delete), Median(c_delete) / Median(our_delete));
}

}  // namespace

int main(int argc, char** argv) {
  std::string cleaner = fs::absolute(fs::path(argv[0]).parent_path() / "nulldrift-clean").string();
  std::vector<std::string> args(argv + 1, argv + argc);
  auto given = [&args](const char* flag) {
    return std::find(args.begin(), args.end(), flag) != args.end();
  };
  if (::geteuid() != 0) {
    std::fprintf(stderr, "The benchmarks loop-mount scratch volumes and need root%s.\n",
                 given("--wine") ? ": the fill under Wine is skipped" : "");
    return 1;
  }
  // The Windows build beside this one, as `make windows` places it; ND_BENCH_WINDOWS_BUILD
  // names another.
  const char* windows_build = std::getenv("ND_BENCH_WINDOWS_BUILD");
  std::string windows = windows_build
                            ? std::string(windows_build)
                            : fs::absolute(fs::path(argv[0]).parent_path() / ".." / "build-windows")
                                  .lexically_normal()
                                  .string();
  bool quick = given("--quick");
  bool verbose = given("--verbose");
  bool all = !given("--small") && !given("--ext4") && !given("--ntfs") && !given("--wine");
  int rounds = quick ? 1 : kRounds;
  // The copy source, the job log and the peers' home folders go to a scratch tmpfs, never to
  // the machine's disk.
  ScratchVolume data(ScratchVolume::Kind::kTmpfs, 256ull << 20);
  if (!data.Ready()) {
    std::fprintf(stderr, "%s\n", data.SkipReason().c_str());
    return 1;
  }
  ::setenv("XDG_DATA_HOME", data.MountPoint().c_str(), 1);
  fs::create_directories(data.MountPoint() + "/home");
  if (all || given("--small")) SmallFileBench(data.MountPoint(), rounds);
  if (all || given("--ext4")) {
    SideBySide("Fill, ext4 2 GiB, direct I/O:", ScratchVolume::Kind::kExt4, 2 * kGiB,
               data.MountPoint(), cleaner, rounds, verbose);
    if (!quick) {
      SideBySide("Fill, ext4 8 GiB, direct I/O:", ScratchVolume::Kind::kExt4, 8 * kGiB,
                 data.MountPoint(), cleaner, rounds, verbose);
    }
  }
  if (all || given("--ntfs")) {
    SideBySide("Fill, NTFS (ntfs-3g) 2 GiB, direct I/O:", ScratchVolume::Kind::kNtfs, 2 * kGiB,
               data.MountPoint(), cleaner, rounds, verbose);
  }
  if (all || given("--wine")) WineFill(data.MountPoint(), windows, ND_SOURCE_DIR, rounds, verbose);
  return 0;
}
