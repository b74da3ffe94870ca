// The volume list and the free-space query on real filesystems: what the enumeration says
// about ext4, NTFS (ntfs-3g) and tmpfs mounts, and that a writer who stops when FreeSpace says
// 0 has really used up the volume without ever running into a full disk.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "integration/scratch_volume.h"
#include "platform/os_volumes.h"
#include "unit/test_support.h"

namespace nd::platform {
namespace {

namespace fs = std::filesystem;
using test::ScratchVolume;
using Kind = ScratchVolume::Kind;

constexpr uint64_t kMiB = 1ull << 20;
constexpr uid_t kNobody = 65534;

#define NEED_VOLUME(volume)                                       \
  if (!(volume)->Ready()) GTEST_SKIP() << (volume)->SkipReason(); \
  static_assert(true)

// The program sees only the given mounts, and its application data lives in a scratch folder
// (on the machine's own volume unless a test moves it).
class VolumesTest : public ::testing::Test {
 protected:
  void Restrict(const std::vector<const ScratchVolume*>& volumes) {
    std::string list;
    for (const ScratchVolume* v : volumes) list += (list.empty() ? "" : ":") + v->MountPoint();
    mounts_.emplace("NULLDRIFT_MOUNTS", list);
  }

  std::string LetterOf(const ScratchVolume& volume) {
    for (const VolumeInfo& v : EnumerateVolumes()) {
      if (v.RootPath == volume.MountPoint()) return v.DriveLetter;
    }
    return {};
  }

  test::ScratchFolder data_;
  test::ScopedEnv data_home_{"XDG_DATA_HOME", data_.path()};

 private:
  std::optional<test::ScopedEnv> mounts_;
};

// What blkid, which reads the device on its own, says about it.
std::string Blkid(const std::string& device, const std::string& tag) {
  std::string out;
  ScratchVolume::Run({"blkid", "-p", "-s", tag, "-o", "value", device}, &out);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

int32_t HexSerial(const std::string& digits) {
  return static_cast<int32_t>(std::stoul(digits, nullptr, 16));
}

const VolumeInfo* Find(const std::vector<VolumeInfo>& volumes, const ScratchVolume& volume) {
  for (const VolumeInfo& v : volumes) {
    if (v.RootPath == volume.MountPoint()) return &v;
  }
  return nullptr;
}

TEST_F(VolumesTest, ListsOnlyTheNamedMountsFromDAndKeepsCForTheDataVolume) {
  ScratchVolume::Options ext_options;
  ext_options.label = "nd ext";
  ScratchVolume::Options ntfs_options;
  ntfs_options.label = "nd-ntfs";
  auto ext = ScratchVolume::Make(Kind::kExt4, 32 * kMiB, ext_options);
  auto ntfs = ScratchVolume::Make(Kind::kNtfs, 32 * kMiB, ntfs_options);
  auto ram = ScratchVolume::Make(Kind::kTmpfs, 16 * kMiB);
  NEED_VOLUME(ext);
  NEED_VOLUME(ntfs);
  NEED_VOLUME(ram);
  Restrict({ext.get(), ntfs.get(), ram.get()});

  std::vector<VolumeInfo> volumes = EnumerateVolumes();
  ASSERT_EQ(volumes.size(), 3u);
  std::vector<std::string> points = {ext->MountPoint(), ntfs->MountPoint(), ram->MountPoint()};
  std::sort(points.begin(), points.end());
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(volumes[i].DriveLetter, std::string(1, static_cast<char>('D' + i)));
    EXPECT_EQ(volumes[i].RootPath, points[i]);
    EXPECT_TRUE(volumes[i].IsReady);
    EXPECT_EQ(volumes[i].AvailableSpace, FreeSpace(volumes[i].DriveLetter));
    EXPECT_EQ(VolumeRoot(volumes[i].DriveLetter), points[i]);
  }

  const VolumeInfo* e = Find(volumes, *ext);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->DriveType, kDriveFixed);  // a loop device is a fixed disk
  EXPECT_EQ(e->FileSystem, "ext4");
  EXPECT_EQ(e->VolumeName, "nd ext");
  EXPECT_EQ(e->SerialNumber, HexSerial(Blkid(ext->Device(), "UUID").substr(0, 8)));
  EXPECT_GT(e->TotalSize, 24.0 * kMiB);
  EXPECT_LE(e->TotalSize, 32.0 * kMiB);

  const VolumeInfo* n = Find(volumes, *ntfs);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->DriveType, kDriveFixed);
  EXPECT_EQ(n->FileSystem, "NTFS");
  EXPECT_EQ(n->VolumeName, "nd-ntfs");
  std::string ntfs_uuid = Blkid(ntfs->Device(), "UUID");
  ASSERT_EQ(ntfs_uuid.size(), 16u);
  EXPECT_EQ(n->SerialNumber, HexSerial(ntfs_uuid.substr(8)));

  const VolumeInfo* r = Find(volumes, *ram);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->DriveType, kDriveRamDisk);
  EXPECT_EQ(r->FileSystem, "tmpfs");
  EXPECT_EQ(r->TotalSize, 16.0 * kMiB);

  // "C" is not listed, yet answers for the volume that holds the application data.
  struct stat data_st {};
  struct stat root_st {};
  std::string c_root = VolumeRoot("C");
  ASSERT_FALSE(c_root.empty());
  ASSERT_EQ(::stat(data_.path().c_str(), &data_st), 0);
  ASSERT_EQ(::stat(c_root.c_str(), &root_st), 0);
  EXPECT_EQ(root_st.st_dev, data_st.st_dev);
  EXPECT_TRUE(FreeSpace("C").has_value());
  EXPECT_EQ(VolumeRoot("G"), "");
  EXPECT_FALSE(FreeSpace("G").has_value());
}

TEST_F(VolumesTest, DataVolumeAmongTheNamedMountsIsC) {
  auto ext = ScratchVolume::Make(Kind::kExt4, 16 * kMiB);
  auto ram = ScratchVolume::Make(Kind::kTmpfs, 8 * kMiB);
  NEED_VOLUME(ext);
  NEED_VOLUME(ram);
  std::string data_on_volume = ext->MountPoint() + "/home/.local/share";
  test::ScopedEnv data_home("XDG_DATA_HOME", data_on_volume);
  Restrict({ext.get(), ram.get()});

  std::vector<VolumeInfo> volumes = EnumerateVolumes();
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(volumes[0].DriveLetter + volumes[0].RootPath, "C" + ext->MountPoint());
  EXPECT_EQ(volumes[1].DriveLetter + volumes[1].RootPath, "D" + ram->MountPoint());
}

TEST_F(VolumesTest, BindMountOfAListedVolumeIsNotASecondVolume) {
  auto ext = ScratchVolume::Make(Kind::kExt4, 16 * kMiB);
  NEED_VOLUME(ext);
  test::ScratchFolder bind_point;
  fs::create_directories(ext->MountPoint() + "/part");
  ASSERT_EQ(ScratchVolume::Run({"mount", "--bind", ext->MountPoint() + "/part", bind_point.path()}),
            0);
  struct Unbind {
    std::string point;
    ~Unbind() { ScratchVolume::Run({"umount", point}); }
  } unbind{bind_point.path()};
  test::ScopedEnv mounts("NULLDRIFT_MOUNTS", bind_point.path() + ":" + ext->MountPoint());

  std::vector<VolumeInfo> volumes = EnumerateVolumes();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].RootPath, ext->MountPoint());
}

TEST_F(VolumesTest, FreeSpaceOfAVanishedVolumeIsUnknown) {
  for (Kind kind : {Kind::kExt4, Kind::kNtfs, Kind::kTmpfs}) {
    auto volume = ScratchVolume::Make(kind, 16 * kMiB);
    NEED_VOLUME(volume);
    Restrict({volume.get()});
    std::string letter = LetterOf(*volume);
    ASSERT_EQ(letter, "D");
    EXPECT_TRUE(FreeSpace(letter).has_value());
    ASSERT_TRUE(volume->Unmount());
    // The mount point is still there and now shows the filesystem below it.
    EXPECT_FALSE(FreeSpace(letter).has_value()) << static_cast<int>(kind);
  }
}

// Writes into `path` as long as FreeSpace(letter) promises room: 1 MiB at a time, then 4 KiB
// (less when less is promised). Empty when no write failed and the volume is full at the end
// (after at most `tail_bytes` more), else what went wrong. Safe to call in a forked child: it
// reports and does not assert.
std::string FillUntilFreeSpaceIsZero(const std::string& letter, const std::string& path,
                                     uint64_t tail_bytes = 0) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return std::string("cannot create the file: ") + std::strerror(errno);
  std::string buffer(kMiB, 'x');
  std::string failure;
  uint64_t written = 0;
  bool retried = false;
  for (int settled = 0; failure.empty() && settled < 8;) {
    std::optional<uint64_t> free = FreeSpace(letter);
    if (!free) {
      failure = "FreeSpace failed";
      break;
    }
    if (*free == 0) {
      // The filesystem may hand back blocks it had set aside while data was still in the page
      // cache; whatever it reports then must be writable too.
      ::fsync(fd);
      if (FreeSpace(letter) == 0u) break;
      ++settled;
      continue;
    }
    size_t size = *free >= kMiB ? kMiB : static_cast<size_t>(std::min<uint64_t>(*free, 4096));
    ssize_t n = ::write(fd, buffer.data(), size);
    if (n < 0 && errno == ENOSPC && !retried) {
      // With large clusters the filesystem may still hold a reservation for blocks that are in
      // the page cache; once they are written back the space it reported must be there.
      ::fsync(fd);
      retried = true;
      continue;
    }
    retried = false;
    if (n != static_cast<ssize_t>(size)) {
      failure = "writing " + std::to_string(size) + " bytes after " + std::to_string(written) +
                " with " + std::to_string(*free) +
                " free: " + (n < 0 ? std::strerror(errno) : "short write");
    }
    written += size;
  }
  // The last cluster's tail is not free space to statvfs, yet the file may still grow into it.
  uint64_t tail = 0;
  while (failure.empty() && tail <= tail_bytes && ::write(fd, buffer.data(), 4096) == 4096) {
    tail += 4096;
  }
  if (failure.empty() && (tail > tail_bytes || errno != ENOSPC)) {
    failure = "the volume was not full after " + std::to_string(written) + " bytes and " +
              std::to_string(tail) + " more";
  }
  ::close(fd);
  return failure;
}

// Runs FillUntilFreeSpaceIsZero as nobody in a forked child; its report.
std::string FillAsNobody(const std::string& letter, const std::string& path, uint64_t tail_bytes) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return "no pipe";
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    std::string report = "cannot become nobody";
    if (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0) {
      report = FillUntilFreeSpaceIsZero(letter, path, tail_bytes);
    }
    ssize_t ignored = ::write(pipe_fds[1], report.data(), report.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string report;
  char chunk[256];
  for (ssize_t n; (n = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0;) report.append(chunk, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child > 0 && WIFEXITED(status) ? report : "the child failed";
}

struct FillCase {
  const char* name;
  std::vector<std::string> mkfs_args;
  uint64_t tail_bytes = 0;  // what is left of a cluster when statvfs already says 0
};

void PrintTo(const FillCase& c, std::ostream* os) { *os << c.name; }

class FillExt4 : public VolumesTest, public ::testing::WithParamInterface<FillCase> {
 protected:
  std::unique_ptr<ScratchVolume> MakeVolume() {
    ScratchVolume::Options options;
    options.mkfs_args = GetParam().mkfs_args;
    return ScratchVolume::Make(Kind::kExt4, 64 * kMiB, options);
  }
};

// 64 MiB gets 1 KiB blocks from mkfs; then the common 4 KiB blocks, and 16 KiB clusters of
// 4 KiB blocks, where the reserved clusters are four times the bytes of as many blocks.
INSTANTIATE_TEST_SUITE_P(BlockSizes, FillExt4,
                         ::testing::Values(FillCase{"small_blocks", {}},
                                           FillCase{"large_blocks", {"-b", "4096"}},
                                           FillCase{"bigalloc",
                                                    {"-b", "4096", "-O", "bigalloc", "-C", "16384"},
                                                    16384 - 4096}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(FillExt4, RootWritesAllTheFreeSpaceWithoutRunningOut) {
  auto volume = MakeVolume();
  NEED_VOLUME(volume);
  Restrict({volume.get()});
  std::string letter = LetterOf(*volume);
  EXPECT_EQ(FillUntilFreeSpaceIsZero(letter, volume->MountPoint() + "/fill", GetParam().tail_bytes),
            "");
}

TEST_P(FillExt4, OrdinaryUserWritesAllTheFreeSpaceWithoutRunningOut) {
  auto volume = MakeVolume();
  NEED_VOLUME(volume);
  Restrict({volume.get()});
  std::string letter = LetterOf(*volume);
  std::string folder = volume->MountPoint() + "/user";
  ASSERT_TRUE(fs::create_directory(folder));
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  uint64_t as_root = FreeSpace(letter).value_or(0);
  EXPECT_EQ(FillAsNobody(letter, folder + "/fill", GetParam().tail_bytes), "");
  // What the user could not have: the root reserve, which is still free.
  uint64_t left = FreeSpace(letter).value_or(0);
  EXPECT_GT(left, as_root / 25);
}

TEST_F(VolumesTest, RootWritesAllTheFreeSpaceOfNtfsWithoutRunningOut) {
  auto volume = ScratchVolume::Make(Kind::kNtfs, 64 * kMiB);
  NEED_VOLUME(volume);
  Restrict({volume.get()});
  std::string letter = LetterOf(*volume);
  // Fragmented free space, as a small-file pass leaves it: every other 8 KiB file deleted.
  fs::create_directory(volume->MountPoint() + "/small");
  for (int i = 0; i < 1000; ++i) {
    test::WriteFile(volume->MountPoint() + "/small/" + std::to_string(i), std::string(8192, 'y'));
  }
  for (int i = 0; i < 1000; i += 2) {
    fs::remove(volume->MountPoint() + "/small/" + std::to_string(i));
  }
  EXPECT_EQ(FillUntilFreeSpaceIsZero(letter, volume->MountPoint() + "/fill"), "");
}

TEST_F(VolumesTest, CompressionIsOffAfterwardsOnEveryKind) {
  auto ext = ScratchVolume::Make(Kind::kExt4, 16 * kMiB);
  auto ntfs = ScratchVolume::Make(Kind::kNtfs, 16 * kMiB);
  auto ram = ScratchVolume::Make(Kind::kTmpfs, 8 * kMiB);
  NEED_VOLUME(ext);
  NEED_VOLUME(ntfs);
  NEED_VOLUME(ram);
  for (const auto* volume : {ext.get(), ntfs.get(), ram.get()}) {
    std::string folder = volume->MountPoint() + "/work";
    ASSERT_TRUE(fs::create_directory(folder));
    EXPECT_TRUE(DisableCompression(folder)) << folder;
    EXPECT_TRUE(FlushFileSystem(folder)) << folder;
  }
  // A compressed NTFS folder would compress the filler written into it.
  std::string folder = ntfs->MountPoint() + "/compressed";
  ASSERT_TRUE(fs::create_directory(folder));
  const char* name = "system.ntfs_attrib_be";
  unsigned char attributes[4];
  ASSERT_EQ(::getxattr(folder.c_str(), name, attributes, 4), 4);
  attributes[2] |= 0x08;  // FILE_ATTRIBUTE_COMPRESSED, 0x800
  ASSERT_EQ(::setxattr(folder.c_str(), name, attributes, 4, 0), 0);
  ASSERT_EQ(::getxattr(folder.c_str(), name, attributes, 4), 4);
  ASSERT_TRUE(attributes[2] & 0x08) << "ntfs-3g did not keep the compression flag";
  EXPECT_TRUE(DisableCompression(folder));
  ASSERT_EQ(::getxattr(folder.c_str(), name, attributes, 4), 4);
  EXPECT_FALSE(attributes[2] & 0x08);
  EXPECT_FALSE(FlushFileSystem(ntfs->MountPoint() + "/missing"));
}

}  // namespace
}  // namespace nd::platform
