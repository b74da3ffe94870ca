// Volumes by drive letter under Wine, with the runner's scratch drives: D: a folder, E: a
// small tmpfs. The prefix has no Z:, so no volume of the host can appear.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "platform/os_volumes.h"
#include "platform/windows/volumes_windows.h"
#include "scratch.h"

namespace nd::platform {
namespace {

const VolumeInfo* Find(const std::vector<VolumeInfo>& volumes, const std::string& letter) {
  auto it = std::find_if(volumes.begin(), volumes.end(),
                         [&](const VolumeInfo& v) { return v.DriveLetter == letter; });
  return it == volumes.end() ? nullptr : &*it;
}

TEST(DriveTypeCode, WindowsTypesMapToThePlatformCodes) {
  EXPECT_EQ(win::DriveTypeCode(DRIVE_REMOVABLE), kDriveRemovable);
  EXPECT_EQ(win::DriveTypeCode(DRIVE_FIXED), kDriveFixed);
  EXPECT_EQ(win::DriveTypeCode(DRIVE_REMOTE), kDriveNetwork);
  EXPECT_EQ(win::DriveTypeCode(DRIVE_CDROM), kDriveCdRom);
  EXPECT_EQ(win::DriveTypeCode(DRIVE_RAMDISK), kDriveRamDisk);
  EXPECT_EQ(win::DriveTypeCode(DRIVE_UNKNOWN), kDriveUnknown);
  EXPECT_EQ(win::DriveTypeCode(DRIVE_NO_ROOT_DIR), kDriveUnknown);
}

TEST(EnumerateVolumes, ListsTheScratchDrivesAndNeverTheHostRoot) {
  const std::string d = test::FolderDrive();
  ASSERT_FALSE(d.empty()) << "run through run-platform-tests";
  test::ScopedEnv all("NULLDRIFT_MOUNTS", nullptr);
  auto volumes = EnumerateVolumes();
  EXPECT_EQ(Find(volumes, "Z"), nullptr);
  ASSERT_TRUE(std::is_sorted(
      volumes.begin(), volumes.end(),
      [](const VolumeInfo& a, const VolumeInfo& b) { return a.DriveLetter < b.DriveLetter; }));
  const VolumeInfo* scratch = Find(volumes, d);
  ASSERT_NE(scratch, nullptr);
  EXPECT_EQ(scratch->RootPath, d + ":\\");
  EXPECT_TRUE(scratch->IsReady);
  EXPECT_GT(scratch->TotalSize, 0);
  EXPECT_FALSE(scratch->FileSystem.empty());
  EXPECT_NE(Find(volumes, "C"), nullptr);
}

TEST(EnumerateVolumes, MountListRestrictsTheListing) {
  const std::string d = test::FolderDrive();
  std::string only = d + ":\\";
  test::ScopedEnv restrict("NULLDRIFT_MOUNTS", only.c_str());
  auto volumes = EnumerateVolumes();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].DriveLetter, d);
  // Letters outside the list keep answering; the system volume is needed for the data folder.
  EXPECT_TRUE(FreeSpace("C"));
}

TEST(FreeSpace, FollowsWhatIsWrittenAndRefusesUnknownLetters) {
  const std::string e = test::SmallDrive();
  if (e.empty()) GTEST_SKIP() << "no small scratch volume (needs root to mount a tmpfs)";
  EnumerateVolumes();
  auto before = FreeSpace(e);
  ASSERT_TRUE(before);
  ULARGE_INTEGER available{};
  ASSERT_TRUE(::GetDiskFreeSpaceExW((std::wstring(e.begin(), e.end()) + L":\\").c_str(), &available,
                                    nullptr, nullptr));
  EXPECT_EQ(*before, available.QuadPart);
  {
    test::ScratchFolder folder(e + ":\\");
    std::string data(1 << 20, 'x');
    HANDLE file =
        ::CreateFileA((folder / "big").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    ::CloseHandle(file);
    auto after = FreeSpace(e);
    ASSERT_TRUE(after);
    EXPECT_LE(*after + data.size(), *before);
  }
  EXPECT_FALSE(FreeSpace("Q"));
  EXPECT_FALSE(FreeSpace("ab"));
  EXPECT_FALSE(FreeSpace(""));
  EXPECT_EQ(VolumeRoot("Q"), "");
  EXPECT_EQ(VolumeRoot(e), e + ":\\");
  auto cluster = ClusterSize(e);
  ASSERT_TRUE(cluster);
  EXPECT_GE(*cluster, 512u);
}

TEST(DisableCompression, AnUncompressedFolderStaysUsable) {
  test::ScratchFolder folder;
  EXPECT_TRUE(DisableCompression(folder.path()));
  EXPECT_FALSE(DisableCompression(folder / "missing"));
}

}  // namespace
}  // namespace nd::platform
