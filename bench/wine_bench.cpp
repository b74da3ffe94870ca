// The Windows build's fill under Wine: nulldrift-clean.exe --way 2 in a scratch prefix of its
// own, on a scratch ext4 volume mapped as the prefix's drive D: (and nothing else: no Z:),
// against dd conv=fsync writing to the same volume from the host, alternating, with a fresh
// file system and cold caches before every run.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench_common.h"

namespace nd::bench {
namespace {

namespace fs = std::filesystem;
using test::ScratchVolume;

constexpr const char* kWineTool = "nulldrift-clean.exe --way 2 (Wine)";
constexpr const char* kReference = "dd bs=1M conv=fsync";
// Where the program is installed on the prefix's C:, as a user would have it.
constexpr const char* kInstallFolder = "nulldrift-bench";
constexpr const char* kProgram = "C:\\nulldrift-bench\\nulldrift-clean.exe";

bool WineInstalled() {
  return ::access("/usr/lib/wine/wine64", X_OK) == 0 || HasProgram("wine64") || HasProgram("wine");
}

// A scratch Wine root (prefix, HOME, XDG folders) made for this run alone and removed with
// everything in it, its wineserver ended first, the drive letters it mapped taken away.
class WineScratch {
 public:
  explicit WineScratch(std::string wine_run) : wine_run_(std::move(wine_run)) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/nulldrift-bench-wine.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;
    root_ = pattern;
    // wine-run makes the prefix and removes its Z: before anything runs in it.
    if (Spawn({wine_run_, "--prepare"}, Env()) == 0) prefix_ = root_ + "/prefix";
  }
  ~WineScratch() {
    if (root_.empty()) return;
    Unmap();
    Spawn({wine_run_, "--remove"}, Env());
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  WineScratch(const WineScratch&) = delete;
  WineScratch& operator=(const WineScratch&) = delete;

  bool Ready() const { return !prefix_.empty(); }
  std::vector<std::string> Env() const { return {"NULLDRIFT_WINE_ROOT=" + root_}; }
  std::string DriveC() const { return prefix_ + "/drive_c"; }

  // `mount` as drive D:, with `device` behind it for the volume's facts, and the prefix's
  // wineserver started anew (it reads the drives when it starts) to stay until the end.
  bool MapD(const std::string& mount, const std::string& device) {
    Spawn({wine_run_, "--kill"}, Env());
    Unmap();
    std::error_code error;
    fs::create_symlink(mount, prefix_ + "/dosdevices/d:", error);
    if (!error && !device.empty()) fs::create_symlink(device, prefix_ + "/dosdevices/d::", error);
    return !error && Spawn({wine_run_, "--serve"}, Env()) == 0;
  }

  void Unmap() {
    if (prefix_.empty()) return;
    std::error_code ignored;
    fs::remove(prefix_ + "/dosdevices/d:", ignored);
    fs::remove(prefix_ + "/dosdevices/d::", ignored);
  }

  void KillServer() { Spawn({wine_run_, "--kill"}, Env()); }

 private:
  std::string wine_run_;
  std::string root_;
  std::string prefix_;
};

// ext4 keeps a pool of clusters that nobody may write; the Linux build sets it aside for its
// fill, the Windows build cannot, so every run here gets the volume without it.
bool DropReservedPool(const ScratchVolume& volume) {
  std::string device = fs::path(volume.Device()).filename().string();
  std::string pool = "/sys/fs/ext4/" + device + "/reserved_clusters";
  FILE* f = std::fopen(pool.c_str(), "w");
  if (!f) return false;
  bool ok = std::fputs("0\n", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

void WineFill(const std::string& data, const std::string& windows_build,
              const std::string& source_dir, int rounds, bool verbose) {
  const char* title = "Fill under Wine, ext4 2 GiB as drive D:, direct I/O:";
  auto skip = [title](const std::string& why) {
    std::printf("\n%s\n  skipped: %s\n", title, why.c_str());
  };
  const std::string exe = windows_build + "/nulldrift-clean.exe";
  const std::string languages = windows_build + "/Languages";
  const std::string wine_run = source_dir + "/scripts/wine-run";
  if (::access(exe.c_str(), R_OK) != 0 || !fs::is_directory(languages)) {
    skip("no " + exe + " with its Languages folder (make windows)");
    return;
  }
  if (!WineInstalled() || ::access(wine_run.c_str(), X_OK) != 0) {
    skip("Wine or " + wine_run + " is missing (make windows installs Wine)");
    return;
  }
  WineScratch wine(wine_run);
  if (!wine.Ready()) {
    skip("the scratch Wine prefix could not be made");
    return;
  }
  // The program as installed: the executable with its Languages folder, on the prefix's C:.
  const std::string install = wine.DriveC() + "/" + kInstallFolder;
  std::error_code error;
  fs::create_directories(install, error);
  fs::copy_file(exe, install + "/nulldrift-clean.exe", fs::copy_options::overwrite_existing, error);
  if (!error) {
    fs::copy(languages, install + "/Languages",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
  }
  if (error) {
    skip("could not install the program in the prefix: " + error.message());
    return;
  }

  Comparison c;
  c.title = title;
  c.kind = ScratchVolume::Kind::kExt4;
  c.size = 2 * kGiB;
  // A Windows volume has no root reserve: all of its free space is the program's to fill.
  c.mkfs_args = {"-m", "0", "-E", kExt4Extended};
  for (Tool& tool : Tools(data, "", verbose)) {
    if (tool.name == kReference) c.tools.push_back(std::move(tool));
  }
  std::vector<std::string> env = wine.Env();
  env.push_back("NULLDRIFT_MOUNTS=D:\\");
  env.push_back("HOME=" + data + "/home");
  c.tools.push_back(
      {kWineTool, wine_run,
       [&wine_run, env, install](const std::string&, Outcome& out) {
         return Spawn({wine_run, kProgram, "--way", "2", "D:"}, env, &out.peak_kb, install);
       },
       0});
  c.reference = kReference;
  c.reference_label = "dd fsync";
  c.peak_tool = kWineTool;
  bool mapped = false;
  c.prepare = [&](const ScratchVolume& volume) {
    if (!DropReservedPool(volume)) return false;
    if (mapped) return true;
    // The drive stays mapped for the whole comparison (each fresh file system is mounted at
    // the same place); one run of the program beforehand starts the prefix's wineserver and
    // services, as on a desktop where Wine already runs.
    mapped = wine.MapD(volume.MountPoint(), volume.Device());
    if (mapped) Spawn({wine_run, kProgram, "--version"}, env, nullptr, install);
    return mapped;
  };
  c.done = [&wine] {
    wine.KillServer();
    wine.Unmap();
  };
  SideBySide(c, rounds, verbose);
}

}  // namespace nd::bench
