// FAT volumes cleaned by the real FAT driver: this host's kernel has none, so each test boots a
// user-mode Linux guest (see uml_guest.h) with a fresh FAT image as its disk. A first boot
// plants deleted marker files through vfat; the host checks they are on the image; a second
// boot runs nulldrift-clean on the mounted volume, as root or as an ordinary user; the host
// then searches the raw image for the marker. No host mount is involved at all.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "integration/residue.h"
#include "integration/scratch_volume.h"
#include "integration/uml_guest.h"

namespace nd::test {
namespace {

constexpr uint64_t kMiB = 1ull << 20;

struct FatCase {
  std::string tag;
  int fat_bits = 16;
  int cluster_sectors = 0;  // 0 for mkfs.fat's choice for the size
  uint64_t size = 256 * kMiB;
  int way = 2;
  bool as_user = false;
};

// What the cleaning boot reports back through the shared folder.
struct FatRun {
  bool ran = false;
  int status = -1;
  std::string output;
  std::string root_after;  // the volume's top-level names after the job
  Checksums user_before;
  Checksums user_after;
  uint64_t total_bytes = 0;
  uint64_t lowest_free = UINT64_MAX;
  uint64_t lowest_available = UINT64_MAX;
  long small_files_at_fill = -1;  // in the work folder when the fill's first file appeared
  double seconds = 0;
  Residue planted;
  Residue left;
};

// The planting boot: the user's files, then the deleted marker files, through vfat.
std::string PlantScript(const FatCase& c) {
  return "set -u\n"
         "mount -t vfat /dev/ubda /run/vol || exit 90\n"
         "\"$BUILD/residue_tool\" plant /run/vol " +
         c.tag +
         " >/run/host/user-before.txt || exit 91\n"
         "umount /run/vol || exit 92\n";
}

// The cleaning boot. A watcher notes the free space every half second (the job's final wait
// lasts five) and counts the small files once the fill has started.
std::string CleanScript(const FatCase& c) {
  std::string mount_options = c.as_user ? "-o uid=65534,gid=65534 " : "";
  std::string as_user = c.as_user ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  return "set -u\n"
         "mount -t vfat " +
         mount_options +
         "/dev/ubda /run/vol || exit 90\n"
         "mkdir -p /run/home\n" +
         (c.as_user ? "chown 65534:65534 /run/home\n" : "") +
         "stat -f -c '%b %S' /run/vol >/run/host/total.txt\n"
         "work=/run/vol/NDRF_temp\n"
         "watch_volume() {\n"
         "  while :; do\n"
         "    stat -f -c '%f %a %S' /run/vol\n"
         "    if [ ! -e /run/host/small-files.txt ] && { [ -e $work/fw1 ] || [ -e $work/fw2 ] ||\n"
         "        [ -e $work/000-ws1-012345678901234567890123456789 ]; }; then\n"
         "      ls $work | grep -c '^bo' >/run/host/small-files.txt\n"
         "    fi\n"
         "    sleep 0.5\n"
         "  done\n"
         "}\n"
         "watch_volume >/run/host/free.txt 2>/dev/null &\n"
         "watcher=$!\n"
         "start=$(date +%s.%N)\n"
         "env NULLDRIFT_MOUNTS=/run/vol HOME=/run/home XDG_DATA_HOME=/run/home/data \\\n"
         "    XDG_CONFIG_HOME=/run/home/config " +
         as_user + "\"$BUILD/nulldrift-clean\" --way " + std::to_string(c.way) +
         " D >/run/host/clean.txt 2>&1\n"
         "echo $? >/run/host/clean.status\n"
         "echo \"$start $(date +%s.%N)\" >/run/host/times.txt\n"
         "kill $watcher\n"
         "wait $watcher 2>/dev/null\n"
         "ls -A /run/vol >/run/host/root-after.txt\n"
         "\"$BUILD/residue_tool\" sums /run/vol >/run/host/user-after.txt\n"
         "umount /run/vol || exit 92\n";
}

// Outside root's PATH too.
std::string MkfsFat() {
  for (const char* path : {"/usr/sbin/mkfs.fat", "/sbin/mkfs.fat", "/usr/bin/mkfs.fat"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return {};
}

bool MakeFatImage(const FatCase& c, const std::string& image) {
  std::vector<std::string> mkfs = {MkfsFat(), "-F",  std::to_string(c.fat_bits),
                                   "-C",      image, std::to_string(c.size / 1024)};
  if (c.cluster_sectors > 0) {
    mkfs.insert(mkfs.begin() + 1, {"-s", std::to_string(c.cluster_sectors)});
  }
  return ScratchVolume::Run(mkfs) == 0;
}

void ReadFigures(const UmlGuest& guest, FatRun& run) {
  std::istringstream total(guest.ReadShared("total.txt"));
  uint64_t blocks = 0, block_bytes = 0;
  if (total >> blocks >> block_bytes) run.total_bytes = blocks * block_bytes;
  std::istringstream samples(guest.ReadShared("free.txt"));
  for (uint64_t free = 0, available = 0, size = 0; samples >> free >> available >> size;) {
    run.lowest_free = std::min(run.lowest_free, free * size);
    run.lowest_available = std::min(run.lowest_available, available * size);
  }
  std::string small = guest.ReadShared("small-files.txt");
  if (!small.empty()) run.small_files_at_fill = std::stol(small);
  std::istringstream times(guest.ReadShared("times.txt"));
  double start = 0, end = 0;
  if (times >> start >> end) run.seconds = end - start;
}

class FatGuest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!guest_.Ready()) GTEST_SKIP() << guest_.SkipReason();
    if (MkfsFat().empty()) GTEST_SKIP() << "needs mkfs.fat (dosfstools) for the FAT images";
  }

  static void Skip(const std::string& why) { GTEST_SKIP() << why; }

  // Boots the guest on `image` with `script`; false (with the test skipped or failed) unless
  // the script ran and ended with status 0.
  bool Boot(const std::string& image, const std::string& script, const char* what,
            std::chrono::seconds patience) {
    UmlGuest::Outcome outcome = guest_.Run(image, script, patience);
    if (outcome == UmlGuest::Outcome::kNoStart) {
      Skip(DescribeOutcome(guest_, outcome));
      return false;
    }
    if (outcome != UmlGuest::Outcome::kRan) {
      ADD_FAILURE() << what << ": " << DescribeOutcome(guest_, outcome);
      return false;
    }
    if (guest_.ScriptStatus() != 0) {
      ADD_FAILURE() << what << " ended with status " << guest_.ScriptStatus() << ":\n"
                    << guest_.ScriptLog();
      return false;
    }
    return true;
  }

  // Plants, cleans and scans one FAT volume, with the checks every case shares: the job ends
  // completed, its work folder is gone, the user's files are unchanged.
  FatRun CleanAndScan(const FatCase& c) {
    FatRun run;
    std::string image = guest_.Scratch() + "/" + c.tag + ".img";
    if (!MakeFatImage(c, image)) {
      ADD_FAILURE() << "mkfs.fat could not make " << image;
      return run;
    }
    // Both boots together stay below ctest's limit for one test (600 s); a planting takes
    // about 10 s here, a cleaning about 70.
    if (!Boot(image, PlantScript(c), "the planting boot", std::chrono::seconds(150))) return run;
    run.user_before = ParseChecksums(guest_.ReadShared("user-before.txt"));
    run.planted = ScanImage(image, c.tag);
    EXPECT_EQ(run.planted.Files('L'), 20u) << "the planted files are not all on the image";

    if (!Boot(image, CleanScript(c), "the cleaning boot", std::chrono::seconds(400))) return run;
    run.ran = true;
    run.status = std::stoi("0" + guest_.ReadShared("clean.status"));
    run.output = guest_.ReadShared("clean.txt");
    run.root_after = guest_.ReadShared("root-after.txt");
    run.user_after = ParseChecksums(guest_.ReadShared("user-after.txt"));
    ReadFigures(guest_, run);
    run.left = ScanImage(image, c.tag);

    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("D: Completed successfully"), std::string::npos) << run.output;
    EXPECT_EQ(run.root_after.find("NDRF_temp"), std::string::npos) << run.root_after;
    EXPECT_EQ(run.user_before.size(), 5u);
    EXPECT_EQ(run.user_after, run.user_before);
    std::printf(
        "[ residue  ] %s way %d as %s: %llu of %llu marker lines left in %llu sectors; "
        "lowest free %llu bytes (%llu for users); %ld small files at the fill; runner "
        "%.1f s\n",
        c.tag.c_str(), c.way, c.as_user ? "user" : "root",
        static_cast<unsigned long long>(run.left.Lines()),
        static_cast<unsigned long long>(run.planted.Lines()),
        static_cast<unsigned long long>(run.left.Sectors()),
        static_cast<unsigned long long>(run.lowest_free),
        static_cast<unsigned long long>(run.lowest_available), run.small_files_at_fill,
        run.seconds);
    return run;
  }

  // The promise of way 2: nothing of the deleted files anywhere on the image.
  static void ExpectNothingLeft(const FatCase& c, const FatRun& run) {
    EXPECT_TRUE(run.left.readable);
    EXPECT_TRUE(run.left.files.empty())
        << c.tag << " as " << (c.as_user ? "an ordinary user" : "root") << ": "
        << run.left.Describe() << "\nThe volume's free space went down to " << run.lowest_free
        << " bytes (" << run.lowest_available << " for ordinary users) during the job.";
  }

  UmlGuest guest_;
};

#define RUN_OR_RETURN(run)                                    \
  if (IsSkipped() || HasFatalFailure() || !(run).ran) return; \
  static_assert(true)

TEST_F(FatGuest, Fat16With4KiBClustersWayTwoLeavesNothing) {
  FatCase c{"fat16k4", 16, 8};
  FatRun run = CleanAndScan(c);
  RUN_OR_RETURN(run);
  ExpectNothingLeft(c, run);
}

// mkfs.fat gives FAT32 of this size 512-byte clusters, as Windows does.
TEST_F(FatGuest, Fat32WayTwoLeavesNothing) {
  FatCase c{"fat32", 32};
  FatRun run = CleanAndScan(c);
  RUN_OR_RETURN(run);
  ExpectNothingLeft(c, run);
}

// A stick of the user's: mounted for the user, cleaned by the user.
TEST_F(FatGuest, Fat32AsOrdinaryUserLeavesNothing) {
  FatCase c{"fat32u", 32, 0, 160 * kMiB, 2, true};
  FatRun run = CleanAndScan(c);
  RUN_OR_RETURN(run);
  ExpectNothingLeft(c, run);
}

// A FAT folder holds at most 65,536 entries and each small file's long name takes ten, so on a
// volume above about 65 MB the work folder is full before all N small files are there. The
// pass must end there, leave room for the fill, and the fill must still run to the end.
TEST_F(FatGuest, FullWorkFolderEndsTheSmallFilesAndTheFillStillRuns) {
  FatCase c{"fat16k2", 16, 4, 96 * kMiB};
  FatRun run = CleanAndScan(c);
  RUN_OR_RETURN(run);
  long n = std::min<long>(20'000, static_cast<long>(run.total_bytes / 10'000));
  EXPECT_GT(n, 6554) << "the volume is too small to fill the folder";
  EXPECT_GT(run.small_files_at_fill, 1000) << "the fill never started";
  EXPECT_LT(run.small_files_at_fill, 6554) << "N = " << n;
  EXPECT_LE(run.lowest_free, 3000u);
  ExpectNothingLeft(c, run);
}

// Way 1 only takes over the folder entries and file records: no fill, and the deleted data
// stays, but the job completes and leaves nothing of its own.
TEST_F(FatGuest, WayOneCompletesWithoutAFill) {
  FatCase c{"fat16w1", 16, 0, 96 * kMiB, 1};
  FatRun run = CleanAndScan(c);
  RUN_OR_RETURN(run);
  EXPECT_NE(run.output.find("Overwrite file records of deleted files"), std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("Overwrite free space"), std::string::npos) << run.output;
  EXPECT_EQ(run.small_files_at_fill, -1);
}

}  // namespace
}  // namespace nd::test
