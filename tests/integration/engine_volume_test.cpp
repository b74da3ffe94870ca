// Whole cleaning jobs on real filesystems: loop-mounted ext4 and NTFS (ntfs-3g) images made for
// the test. Checks what is written, that everything the job wrote is gone afterwards, and that
// nothing outside the work folder changes.
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "engine/cleaning_job.h"
#include "engine/progress.h"
#include "engine/small_file_pass.h"
#include "engine/work_folder.h"
#include "engine/working_page_form.h"
#include "integration/real_job.h"
#include "integration/scratch_volume.h"
#include "ui/scripted_host.h"
#include "unit/test_support.h"

namespace nd::engine {
namespace {

namespace fs = std::filesystem;
using test::ScratchVolume;

// A checksum of every file below `root` except the work folder, by path.
std::map<std::string, uint64_t> Snapshot(const std::string& root) {
  std::map<std::string, uint64_t> sums;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string path = entry.path().string();
    if (path.find("/NDRF_temp") != std::string::npos) continue;
    uint64_t hash = 1469598103934665603ull;
    if (entry.is_regular_file()) {
      std::ifstream in(path, std::ios::binary);
      for (char c; in.get(c);) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    sums[path] = hash;
  }
  return sums;
}

// Files a user keeps on the volume: they must come through every job unchanged.
void WriteUserFiles(const std::string& root) {
  fs::create_directories(root + "/Documents/old");
  std::mt19937 generator(3);
  for (int i = 0; i < 20; ++i) {
    std::string text(1000 + 997 * i, ' ');
    for (char& c : text) c = static_cast<char>('a' + generator() % 26);
    test::WriteFile(root + "/Documents/note-" + std::to_string(i) + ".txt", text);
  }
  test::WriteFile(root + "/Documents/old/NDRF_temp.txt", "not ours");
  ::sync();
}

using test::RealJob;

#define NEED_VOLUME(volume)                                     \
  if (!(volume).Ready()) GTEST_SKIP() << (volume).SkipReason(); \
  static_assert(true)

TEST(RealVolumes, WayTwoOnExt4WritesTheWholeFreeSpaceAndLeavesUserFilesAlone) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 192ull << 20);
  NEED_VOLUME(volume);
  WriteUserFiles(volume.MountPoint());
  auto before = Snapshot(volume.MountPoint());
  std::string pool_file =
      "/sys/fs/ext4/" + fs::path(volume.Device()).filename().string() + "/reserved_clusters";
  std::string pool_before = test::ReadFile(pool_file);
  ASSERT_NE(pool_before, "0\n");
  RealJob job(volume.MountPoint());
  ASSERT_EQ(job.letter.size(), 1u);
  job.form.SelectMethod(1);
  uint64_t free_at_delete = UINT64_MAX;
  int flushes_at_delete = 0;
  std::string copy, copy_head;
  uint64_t copy_size = 0;
  std::string fine_head;
  std::string work = volume.MountPoint() + "/NDRF_temp";
  job.access.on_op = [&](std::string_view op, const std::string& path) {
    bool work_file = path.rfind(work + "/", 0) == 0 && !path.ends_with("/test.txt");
    if (op == "delete" && free_at_delete == UINT64_MAX && work_file) {
      // Measured as the filesystem itself counts: every free block, the pool included.
      struct statvfs st {};
      ::statvfs(volume.MountPoint().c_str(), &st);
      free_at_delete = static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
      flushes_at_delete = job.access.flushes;
      fine_head = test::ReadFile(work + "/fw2").substr(0, 6004);
      copy = work + "/000-ws1-012345678901234567890123456789";
      copy_size = fs::file_size(copy);
      copy_head = test::ReadFile(copy).substr(0, 2004);
    }
  };
  job.Run(2);
  EXPECT_EQ(job.state.WorkStatus, kStatusCompleted);
  EXPECT_EQ(job.LastLogStatus(), "1");
  EXPECT_LE(free_at_delete, 3000u);
  EXPECT_GE(flushes_at_delete, 1);
  // The filesystem's reserved pool was written too, and is back afterwards.
  EXPECT_EQ(test::ReadFile(pool_file), pool_before);
  ASSERT_EQ(fine_head.size(), 6004u);
  EXPECT_EQ(fine_head.substr(0, 3002), fine_head.substr(3002));
  EXPECT_EQ(fine_head.substr(0, 3000).find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXY"),
            std::string::npos);
  // A copy is the copy source, 50,000 lines of one 1000-character block, and filler to the end
  // of its last cluster.
  struct statvfs st {};
  ASSERT_EQ(::statvfs(volume.MountPoint().c_str(), &st), 0);
  EXPECT_GE(copy_size, 50'100'000u);
  EXPECT_LT(copy_size, 50'100'000u + st.f_frsize);
  EXPECT_EQ(copy_size % st.f_frsize, 0u);
  ASSERT_EQ(copy_head.size(), 2004u);
  EXPECT_EQ(copy_head.substr(0, 1002), copy_head.substr(1002));
  EXPECT_EQ(copy_head.substr(1000, 2), "\r\n");
  EXPECT_NE(copy_head.substr(0, 1000), fine_head.substr(0, 1000));
  EXPECT_FALSE(fs::exists(work));
  EXPECT_FALSE(fs::exists(job.context.env.data_folder + "/temp.xd"));
  EXPECT_EQ(Snapshot(volume.MountPoint()), before);
}

TEST(RealVolumes, WayOneOnNtfsWritesSmallFilesWithOneLineEach) {
  ScratchVolume volume(ScratchVolume::Kind::kNtfs, 256ull << 20);
  NEED_VOLUME(volume);
  WriteUserFiles(volume.MountPoint());
  auto before = Snapshot(volume.MountPoint());
  RealJob job(volume.MountPoint());
  job.form.SelectMethod(3);
  std::string work = volume.MountPoint() + "/NDRF_temp";
  std::string first;
  size_t count = 0;
  job.access.on_op = [&](std::string_view op, const std::string& path) {
    if (op == "delete" && first.empty() && !path.ends_with("test.txt")) {
      first = test::ReadFile(work + "/" + SmallFileName(0));
      count = static_cast<size_t>(std::distance(fs::directory_iterator(work), {}));
    }
  };
  job.Run(1);
  EXPECT_EQ(job.state.WorkStatus, kStatusCompleted);
  ASSERT_EQ(first.size(), 903u);
  EXPECT_EQ(first.substr(0, 901).find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(first.substr(901), "\r\n");
  // 256 MiB: N = 26,843; mode 1 caps at 20,000; the 50 MB floor may end it earlier.
  EXPECT_GT(count, 1000u);
  EXPECT_LE(count, 20'001u);
  EXPECT_FALSE(fs::exists(work));
  EXPECT_EQ(Snapshot(volume.MountPoint()), before);
}

TEST(RealVolumes, WayTwoOnNtfsEndsNormally) {
  ScratchVolume volume(ScratchVolume::Kind::kNtfs, 160ull << 20);
  NEED_VOLUME(volume);
  WriteUserFiles(volume.MountPoint());
  auto before = Snapshot(volume.MountPoint());
  RealJob job(volume.MountPoint());
  job.Run(2);
  EXPECT_EQ(job.state.WorkStatus, kStatusCompleted);
  EXPECT_FALSE(fs::exists(volume.MountPoint() + "/NDRF_temp"));
  EXPECT_EQ(Snapshot(volume.MountPoint()), before);
}

// A way-2 job run by an ordinary user (nobody) in a child process; its result code.
int WayTwoAsOrdinaryUser(const ScratchVolume& volume) {
  RealJob job(volume.MountPoint());
  ::chmod(volume.MountPoint().c_str(), 0777);
  ::chmod(job.data.path().c_str(), 0777);
  fs::permissions(job.context.env.data_folder, fs::perms::all);
  pid_t child = ::fork();
  if (child == 0) {
    ::setenv("XDG_DATA_HOME", job.data.path().c_str(), 1);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
    job.Run(2);
    ::_exit(Number(job.state.WorkStatus));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RealVolumes, OrdinaryUserFillsWhatTheUserMayWrite) {
  for (auto kind : {ScratchVolume::Kind::kExt4, ScratchVolume::Kind::kNtfs}) {
    ScratchVolume volume(kind, 128ull << 20);
    NEED_VOLUME(volume);
    EXPECT_EQ(WayTwoAsOrdinaryUser(volume), Number(kStatusCompleted));
    EXPECT_FALSE(fs::exists(volume.MountPoint() + "/NDRF_temp"));
  }
}

TEST(RealVolumes, FullInodeTableEndsTheSmallFilePassAndTheFillStillRuns) {
  ScratchVolume::Options options;
  options.inodes = 2000;
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 256ull << 20, options);
  NEED_VOLUME(volume);
  RealJob job(volume.MountPoint());
  bool filled = false;
  job.access.on_op = [&](std::string_view op, const std::string& path) {
    if (op == "append" && path.ends_with("/fw2")) filled = true;
  };
  job.Run(2);
  EXPECT_EQ(job.state.WorkStatus, kStatusCompleted);
  EXPECT_TRUE(filled);
  EXPECT_FALSE(fs::exists(volume.MountPoint() + "/NDRF_temp"));
}

TEST(RealVolumes, RamDiskIsListedAsSuchAndNeverCleaned) {
  ScratchVolume volume(ScratchVolume::Kind::kTmpfs, 64ull << 20);
  NEED_VOLUME(volume);
  RealJob job(volume.MountPoint());
  ASSERT_EQ(job.letter.size(), 1u);
  std::vector<VolumeInfo> volumes = job.access.Volumes();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].DriveType, kDriveRamDisk);
  EXPECT_EQ(volumes[0].FileSystem, "tmpfs");
  job.Run(2);
  EXPECT_EQ(job.state.WorkStatus, kStatusPreparationFailed);
  EXPECT_FALSE(fs::exists(volume.MountPoint() + "/NDRF_temp"));
}

TEST(RealVolumes, ReadOnlyVolumeFailsItsPreparation) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 32ull << 20);
  NEED_VOLUME(volume);
  ASSERT_TRUE(volume.RemountReadOnly());
  RealJob job(volume.MountPoint());
  job.Run(2);
  EXPECT_EQ(job.state.WorkStatus, kStatusPreparationFailed);
  EXPECT_EQ(job.form.StepImage[0].PictureName(), "IconERROR");
  EXPECT_EQ(job.form.StepImage[3].PictureName(), "IconERROR");
  EXPECT_EQ(job.LastLogStatus(), "2");
}

TEST(RealVolumes, VolumeUnmountedDuringTheFillEndsWithItsCode) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 192ull << 20);
  NEED_VOLUME(volume);
  RealJob job(volume.MountPoint());
  job.access.on_op = [&](std::string_view op, const std::string& path) {
    if (op == "copy" && path.find("000-ws2-") != std::string::npos) volume.Unmount();
  };
  job.Run(2);
  EXPECT_EQ(job.state.WorkStatus, kStatusFillFailed);
  EXPECT_EQ(job.LastLogStatus(), "3");
}

TEST(RealVolumes, StopDuringTheFillStillDeletesEverything) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 192ull << 20);
  NEED_VOLUME(volume);
  WriteUserFiles(volume.MountPoint());
  auto before = Snapshot(volume.MountPoint());
  RealJob job(volume.MountPoint());
  job.access.on_op = [&](std::string_view op, const std::string& path) {
    if (op == "copy" && path.find("000-ws2-") != std::string::npos) {
      job.host.AtDoEvents(job.host.DoEventsCount() + 1, [&] { job.form.Command4.UserClick(); });
    }
  };
  job.Run(2);
  EXPECT_EQ(job.state.WorkStatus, kStatusStopped);
  EXPECT_EQ(job.form.StepImage[2].PictureName(), "IconERROR");
  EXPECT_EQ(job.form.StepImage[3].PictureName(), "IconOK");
  EXPECT_FALSE(fs::exists(volume.MountPoint() + "/NDRF_temp"));
  EXPECT_FALSE(fs::exists(job.context.env.data_folder + "/temp.xd"));
  EXPECT_EQ(Snapshot(volume.MountPoint()), before);
}

TEST(RealVolumes, LeftoversAndSubFoldersAreCleanedUp) {
  ScratchVolume volume(ScratchVolume::Kind::kExt4, 64ull << 20);
  NEED_VOLUME(volume);
  std::string work = volume.MountPoint() + "/NDRF_temp";
  fs::create_directories(work + "/sub");
  test::WriteFile(work + "/fw1", "from an interrupted run");
  // A symbolic link planted in the work folder must not lead the deletion outside it.
  test::WriteFile(volume.MountPoint() + "/keep.txt", "keep");
  fs::create_symlink(volume.MountPoint() + "/keep.txt", work + "/link");
  RealJob job(volume.MountPoint());
  job.Run(1);
  EXPECT_EQ(job.state.WorkStatus, kStatusDeletionFailed);
  EXPECT_FALSE(fs::exists(work));
  EXPECT_EQ(test::ReadFile(volume.MountPoint() + "/keep.txt"), "keep");

  fs::create_directories(work);
  test::WriteFile(work + "/bo1-x.$$$", "");
  RemoveLeftoverWorkFolders(job.context, job.host, job.access);
  ASSERT_EQ(job.host.MsgBoxes().size(), 2u);
  EXPECT_NE(job.host.MsgBoxes()[0].text.find(work), std::string::npos);
  EXPECT_FALSE(fs::exists(work));
}

}  // namespace
}  // namespace nd::engine
