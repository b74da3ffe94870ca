// The product's promise on real images: after a way-2 cleaning, no byte of a deleted file is
// left anywhere on the volume. Deleted files with a marker in every line are planted, the
// runner cleans the volume as root or as an ordinary user, and the raw image is searched for
// the marker after the unmount. ext4 (4 KiB and 1 KiB blocks) and NTFS through ntfs-3g are
// mounted here; FAT, which this host's kernel lacks, is in fat_guest_test.cpp.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "integration/residue.h"
#include "integration/scratch_volume.h"
#include "unit/test_support.h"

namespace nd::test {
namespace {

namespace fs = std::filesystem;
using Kind = ScratchVolume::Kind;

const std::string kRunner = std::string(ND_BUILD_DIR) + "/nulldrift-clean";
constexpr uint64_t kVolumeBytes = 256ull << 20;
constexpr uid_t kNobody = 65534;

struct CleanerRun {
  int status = -1;
  std::string output;
  uint64_t lowest_free = UINT64_MAX;       // every free block, as the filesystem counts
  uint64_t lowest_available = UINT64_MAX;  // what an ordinary user may still write
  double seconds = 0;
};

// Runs the runner on `mount` (letter D, the only volume it may see), with its settings and
// data folder in `home`, as root or as `user`; watches the volume's free space meanwhile, so
// that a failure can say how full the fill got.
CleanerRun RunCleaner(int way, const std::string& mount, const std::string& home,
                      std::optional<uid_t> user) {
  CleanerRun run;
  int out[2];
  if (::pipe(out) != 0) return run;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::close(out[1]);
    ::setenv("NULLDRIFT_MOUNTS", mount.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    if (user && (::setgroups(0, nullptr) != 0 || ::setgid(*user) != 0 || ::setuid(*user) != 0)) {
      std::fputs("cannot become the ordinary user\n", stderr);
      ::_exit(126);
    }
    std::string way_text = std::to_string(way);
    ::execl(kRunner.c_str(), kRunner.c_str(), "--way", way_text.c_str(), "D", nullptr);
    ::_exit(127);
  }
  ::close(out[1]);
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done) {
      struct statvfs st {};
      if (::statvfs(mount.c_str(), &st) == 0) {
        run.lowest_free = std::min<uint64_t>(run.lowest_free, uint64_t{st.f_bfree} * st.f_frsize);
        run.lowest_available =
            std::min<uint64_t>(run.lowest_available, uint64_t{st.f_bavail} * st.f_frsize);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  char buffer[4096];
  for (ssize_t n; pid > 0 && (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    run.output.append(buffer, static_cast<size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.status = WEXITSTATUS(status);
  }
  done = true;
  watcher.join();
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

// ext4 keeps a pool of free blocks that nobody but the kernel may take (reserved_clusters):
// only root can set it aside, as the program does. The test does that while it plants, and
// before an ordinary user's run, so that every free block is one the user could have written.
class PoolSetAside {
 public:
  explicit PoolSetAside(const ScratchVolume& volume)
      : file_("/sys/fs/ext4/" + fs::path(volume.Device()).filename().string() +
              "/reserved_clusters"),
        before_(ReadFile(file_)) {
    done_ = !before_.empty() && Write("0");
  }
  ~PoolSetAside() {
    if (done_) Write(before_);
  }
  PoolSetAside(const PoolSetAside&) = delete;
  PoolSetAside& operator=(const PoolSetAside&) = delete;
  bool Done() const { return done_; }

 private:
  bool Write(const std::string& value) const {
    std::ofstream out(file_);
    out << value;
    out.flush();
    return static_cast<bool>(out);
  }
  std::string file_;
  std::string before_;
  bool done_ = false;
};

std::string MissingLargeFiles(const Residue& residue, const PlantPlan& plan) {
  std::string missing;
  for (int i = 0; i < plan.large_files; ++i) {
    std::string id = MarkerFileId('L', i);
    if (!residue.files.contains(id)) missing += std::string(missing.empty() ? "" : ", ") + id;
  }
  return missing;
}

struct Case {
  std::string tag;
  Kind kind;
  ScratchVolume::Options options;
  bool as_user = false;
};

std::string Lines(const std::string& text, const std::string& without) {
  std::istringstream in(text);
  std::string kept;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.find(without) == std::string::npos) kept += " " + line + ";";
  }
  return kept;
}

// What the filesystem's own tools say about where the first piece of each surviving file
// lies: free space, or some file's allocation (the $MFT's unused tail, for instance). The
// volume is unmounted but its device still there.
std::string Places(const Case& c, const ScratchVolume& volume, const Residue& left) {
  std::string out;
  int shown = 0;
  for (const auto& [id, file] : left.files) {
    if (++shown > 4) break;
    std::string said;
    if (c.kind == Kind::kNtfs) {
      ScratchVolume::Run(
          {"ntfscluster", "-s", std::to_string(file.first_offset / 512), volume.Device()}, &said);
      said = Lines(said, "Searching");
    } else {
      std::string block = std::to_string(file.first_offset / std::stoull(c.options.mkfs_args[1]));
      std::string used;
      ScratchVolume::Run({"debugfs", "-R", "testb " + block, volume.Device()}, &used);
      ScratchVolume::Run({"debugfs", "-R", "icheck " + block, volume.Device()}, &said);
      said = Lines(used, "\t") + Lines(said, "Block\t");
    }
    out += "\n  " + id + " at byte " + std::to_string(file.first_offset) + ":" + said;
  }
  return out.empty() ? out : "\nWhere the first pieces lie:" + out;
}

// Plants, cleans and searches one volume. Each step that cannot go on stops the test; the
// figures of what survived are printed in every case, for whoever works on the fill.
void CleanAndScan(const Case& c) {
  // The data folder (with the copy source) and the settings stay off the machine's disks.
  ScratchVolume home(Kind::kTmpfs, 128ull << 20);
  if (!home.Ready()) GTEST_SKIP() << home.SkipReason();
  ScratchVolume volume(c.kind, kVolumeBytes, c.options);
  if (!volume.Ready()) GTEST_SKIP() << volume.SkipReason();
  const std::string& root = volume.MountPoint();

  // The user's files come first: written after the deletion they would take over some of
  // the freed blocks themselves.
  Checksums user_files = WriteUserFiles(root);
  ASSERT_EQ(user_files.size(), 5u);
  PlantPlan plan;
  plan.tag = c.tag;
  {
    // Planted into the pool too, so that no free block is left without deleted data.
    std::optional<PoolSetAside> pool;
    if (c.kind == Kind::kExt4) {
      pool.emplace(volume);
      ASSERT_TRUE(pool->Done()) << "cannot set aside the ext4 pool of " << volume.Device();
    }
    std::string error;
    ASSERT_GT(PlantDeletedFiles(root, plan, &error), 0u) << error;
  }
  ::sync();
  // The search itself is checked first: right after the deletion every planted file is there.
  Residue planted = ScanImage(volume.Image(), c.tag);
  ASSERT_TRUE(planted.readable);
  ASSERT_EQ(planted.Files('L'), static_cast<uint64_t>(plan.large_files))
      << "missing right after the deletion: " << MissingLargeFiles(planted, plan);

  std::optional<uid_t> user;
  std::optional<PoolSetAside> pool;
  if (c.as_user) {
    user = kNobody;
    // The volume is the user's: its root belongs to the user (ntfs-3g lets everyone write).
    if (c.kind != Kind::kNtfs) {
      ASSERT_EQ(::chown(root.c_str(), kNobody, kNobody), 0);
      pool.emplace(volume);
      ASSERT_TRUE(pool->Done()) << "cannot set aside the ext4 pool of " << volume.Device();
    }
    ASSERT_EQ(::chown(home.MountPoint().c_str(), kNobody, kNobody), 0);
  }
  CleanerRun run = RunCleaner(2, root, home.MountPoint(), user);
  pool.reset();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("D: Completed successfully"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(root + "/NDRF_temp"));
  EXPECT_EQ(ReadUserFiles(root), user_files);
  ASSERT_TRUE(volume.Unmount());

  Residue left = ScanImage(volume.Image(), c.tag);
  ASSERT_TRUE(left.readable);
  std::printf(
      "[ residue  ] %s as %s: %llu of %llu marker lines left in %llu sectors; lowest "
      "free %llu bytes (%llu for users); runner %.1f s\n",
      c.tag.c_str(), c.as_user ? "user" : "root", static_cast<unsigned long long>(left.Lines()),
      static_cast<unsigned long long>(planted.Lines()),
      static_cast<unsigned long long>(left.Sectors()),
      static_cast<unsigned long long>(run.lowest_free),
      static_cast<unsigned long long>(run.lowest_available), run.seconds);
  EXPECT_TRUE(left.files.empty()) << c.tag << " as " << (c.as_user ? "an ordinary user" : "root")
                                  << ": " << left.Describe()
                                  << "\nThe volume's free space went down to " << run.lowest_free
                                  << " bytes (" << run.lowest_available
                                  << " for ordinary users) during the job."
                                  << Places(c, volume, left);
}

ScratchVolume::Options Ext4(const std::string& block_bytes, int reserved_percent = -1) {
  ScratchVolume::Options options;
  options.mkfs_args = {"-b", block_bytes};
  options.reserved_percent = reserved_percent;
  return options;
}

TEST(ResidueScan, Ext4With4KiBBlocks) { CleanAndScan({"ext4k4", Kind::kExt4, Ext4("4096")}); }

TEST(ResidueScan, Ext4With1KiBBlocks) { CleanAndScan({"ext4k1", Kind::kExt4, Ext4("1024")}); }

TEST(ResidueScan, Ntfs) { CleanAndScan({"ntfs", Kind::kNtfs, {}}); }

// The blocks ext4 holds back for root (the -m reserve and the allocator's pool) could never
// be written by an ordinary user, so the user's volumes here have none; everything else must
// be as clean as root leaves it.
TEST(ResidueScan, Ext4With4KiBBlocksAsOrdinaryUser) {
  CleanAndScan({"ext4u4", Kind::kExt4, Ext4("4096", 0), true});
}

TEST(ResidueScan, Ext4With1KiBBlocksAsOrdinaryUser) {
  CleanAndScan({"ext4u1", Kind::kExt4, Ext4("1024", 0), true});
}

TEST(ResidueScan, NtfsAsOrdinaryUser) { CleanAndScan({"ntfsu", Kind::kNtfs, {}, true}); }

}  // namespace
}  // namespace nd::test
