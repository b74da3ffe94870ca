// How the kernel's mount table becomes lettered volumes, and what boot sectors and
// superblocks tell about a filesystem's name, label and serial.
#include "platform/linux/volumes_parse.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/volumes.h"
#include "shell/clean_command.h"

namespace nd::platform::internal {
namespace {

const char* kTable =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
    "30 26 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
    "40 26 7:0 / /media/My\\040Stick rw,relatime shared:5 - ext4 /dev/loop0 rw\n"
    "41 26 7:0 /sub /srv/bound rw,relatime - ext4 /dev/loop0 rw\n"
    "42 26 0:55 / /mnt/win rw,relatime - fuseblk /dev/loop1 rw,user_id=0\n"
    "43 26 0:60 / /net/share rw - nfs4 server:/export rw\n"
    "44 26 11:0 / /media/cd ro - iso9660 /dev/sr0 ro\n"
    "45 26 0:70 / /snap/core ro - squashfs /dev/loop9x ro\n"
    "garbage line\n";

TEST(MountTable, ParsesFieldsAndDecodesEscapes) {
  auto mounts = ParseMountInfo(kTable);
  ASSERT_EQ(mounts.size(), 9u);
  EXPECT_EQ(mounts[3].mount_point, "/media/My Stick");
  EXPECT_EQ(mounts[3].major, 7u);
  EXPECT_EQ(mounts[3].fs_type, "ext4");
  EXPECT_EQ(mounts[3].source, "/dev/loop0");
  EXPECT_EQ(KindOf(mounts[0]), MountKind::kNone);
  EXPECT_EQ(KindOf(mounts[2]), MountKind::kRam);
  EXPECT_EQ(KindOf(mounts[5]), MountKind::kBlock);
  EXPECT_EQ(KindOf(mounts[6]), MountKind::kNetwork);
  EXPECT_EQ(KindOf(mounts[7]), MountKind::kOptical);
}

TEST(MountTable, OneVolumePerFilesystemLetteredFromC) {
  auto volumes = SelectVolumes(ParseMountInfo(kTable), std::nullopt);
  // The bind mount of a part of the stick is not a second volume, nor is a snap's image.
  auto lettered = AssignLetters(volumes, 254, 0);
  std::vector<std::string> names;
  for (const Lettered& l : lettered) names.push_back(l.letter + "=" + l.mount.mount_point);
  EXPECT_EQ(names, (std::vector<std::string>{"C=/", "D=/dev/shm", "E=/media/My Stick",
                                             "F=/media/cd", "G=/mnt/win", "H=/net/share"}));
}

TEST(MountTable, RestrictionKeepsOnlyTheNamedMounts) {
  auto allowed = ParseMountList("/mnt/win::/media/My Stick/");
  ASSERT_TRUE(allowed);
  EXPECT_EQ(allowed->size(), 2u);
  auto lettered = AssignLetters(SelectVolumes(ParseMountInfo(kTable), allowed), 254, 0);
  ASSERT_EQ(lettered.size(), 2u);
  EXPECT_EQ(lettered[0].letter + lettered[0].mount.mount_point, "D/media/My Stick");
  EXPECT_EQ(lettered[1].letter + lettered[1].mount.mount_point, "E/mnt/win");
  EXPECT_FALSE(ParseMountList(nullptr));
  EXPECT_TRUE(ParseMountList("")->empty());
}

TEST(MountTable, LettersRunOutAfterZ) {
  std::vector<MountRecord> many;
  for (unsigned i = 0; i < 30; ++i) {
    char point[16];
    std::snprintf(point, sizeof point, "/m%02u", i);
    many.push_back({8, i, "/", point, "ext4", "/dev/sdx"});
  }
  auto lettered = AssignLetters(many, 8, 29);
  EXPECT_EQ(lettered[0].letter + lettered[0].mount.mount_point, "C/m29");
  EXPECT_EQ(lettered[1].letter + lettered[1].mount.mount_point, "D/m00");
  EXPECT_EQ(lettered[23].letter, "Z");
  EXPECT_EQ(lettered[24].letter, "");
  int listed = 0;
  for (const Lettered& l : lettered) {
    VolumeInfo v;
    v.DriveLetter = l.letter;
    v.DriveType = kDriveFixed;
    v.IsReady = true;
    listed += engine::IsUsableVolume(v) ? 1 : 0;
  }
  EXPECT_EQ(listed, 24);
}

std::string Sector() { return std::string(4096, '\0'); }

void Put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(DeviceStart, NamesLabelsAndSerials) {
  std::string ntfs = Sector();
  std::memcpy(&ntfs[3], "NTFS    ", 8);
  Put32(ntfs, 0x48, 0x89ABCDEF);
  Put32(ntfs, 0x4C, 0x01234567);
  DeviceFacts facts = DecodeDeviceStart(ntfs);
  EXPECT_EQ(facts.file_system, "NTFS");
  EXPECT_EQ(facts.serial, static_cast<int32_t>(0x89ABCDEF));  // low 32 bits, negative

  std::string fat32 = Sector();
  fat32[11] = 0;
  fat32[12] = 2;  // 512 bytes per sector
  fat32[510] = 0x55;
  fat32[511] = static_cast<char>(0xAA);
  Put32(fat32, 0x43, 0x1234ABCD);
  std::memcpy(&fat32[0x47], "HOLIDAY    ", 11);
  facts = DecodeDeviceStart(fat32);
  EXPECT_EQ(facts.file_system, "FAT32");
  EXPECT_EQ(facts.label, "HOLIDAY");
  EXPECT_EQ(facts.serial, 0x1234ABCD);

  std::string fat16 = fat32;
  fat16[0x16] = 64;  // sectors per FAT in the 16-bit field
  Put32(fat16, 0x27, 0x0BADF00D);
  std::memcpy(&fat16[0x2B], "NO NAME    ", 11);
  facts = DecodeDeviceStart(fat16);
  EXPECT_EQ(facts.file_system, "FAT");
  EXPECT_EQ(facts.label, "");
  EXPECT_EQ(facts.serial, 0x0BADF00D);

  std::string ext = Sector();
  ext[1024 + 56] = 0x53;
  ext[1024 + 57] = static_cast<char>(0xEF);
  std::memcpy(&ext[1024 + 120], "backup", 6);
  const unsigned char uuid[4] = {0xF0, 0x01, 0x02, 0x03};
  std::memcpy(&ext[1024 + 104], uuid, 4);
  facts = DecodeDeviceStart(ext);
  EXPECT_EQ(facts.label, "backup");
  EXPECT_EQ(facts.serial, static_cast<int32_t>(0xF0010203));
  EXPECT_EQ(facts.serial, SerialFromUuid("f0010203-aaaa-bbbb-cccc-000000000000"));

  EXPECT_FALSE(DecodeDeviceStart(Sector()).serial);
  EXPECT_FALSE(DecodeDeviceStart("short").serial);
  EXPECT_FALSE(SerialFromUuid("12-3"));
  EXPECT_EQ(SerialFromUuid("1A2B-3C4D"), 0x1A2B3C4D);  // FAT's short form
  EXPECT_EQ(DecodeUdevName("My\\x20Disk"), "My Disk");
}

}  // namespace
}  // namespace nd::platform::internal

namespace nd {
namespace {

TEST(CleanCommand, ReadsVolumesAndOptions) {
  CleanCommand c = ParseCleanCommand({"--way", "2", "--ntfs-mode=3", "--method", "digits", "D",
                                      "/media/stick", "--empty-trash", "--allow-standby"});
  EXPECT_EQ(c.error, "");
  EXPECT_EQ(c.clean_way, 2);
  EXPECT_EQ(c.ntfs_mode, 3);
  EXPECT_EQ(c.method, 3);
  EXPECT_TRUE(c.empty_trash);
  EXPECT_FALSE(c.prevent_standby);
  EXPECT_EQ(c.volumes, (std::vector<std::string>{"D", "/media/stick"}));

  CleanCommand defaults = ParseCleanCommand({"E:"});
  EXPECT_EQ(defaults.clean_way, 1);
  EXPECT_EQ(defaults.ntfs_mode, 1);
  EXPECT_EQ(defaults.method, 2);
  EXPECT_TRUE(defaults.prevent_standby);

  EXPECT_TRUE(ParseCleanCommand({"--help"}).help);
  EXPECT_NE(ParseCleanCommand({}).error, "");
  EXPECT_NE(ParseCleanCommand({"--way", "3", "D"}).error, "");
  EXPECT_NE(ParseCleanCommand({"--method", "zeros", "D"}).error, "");
  EXPECT_NE(ParseCleanCommand({"D", "--way"}).error, "");
  EXPECT_NE(ParseCleanCommand({"--force", "D"}).error, "");
}

TEST(CleanCommand, ResolvesLettersAndMountPointsToUsableVolumes) {
  auto volume = [](std::string letter, std::string root, int type) {
    VolumeInfo v;
    v.DriveLetter = std::move(letter);
    v.RootPath = std::move(root);
    v.DriveType = type;
    v.IsReady = true;
    return v;
  };
  std::vector<VolumeInfo> volumes = {volume("C", "/", kDriveFixed),
                                     volume("D", "/tmp", kDriveRemovable),
                                     volume("E", "/dev/shm", kDriveRamDisk)};
  std::string error;
  EXPECT_EQ(ResolveVolumes({"d", "/tmp/", "C:"}, volumes, error), "DC");
  EXPECT_EQ(ResolveVolumes({"E"}, volumes, error), "");
  EXPECT_NE(error.find("E"), std::string::npos);
  EXPECT_EQ(ResolveVolumes({"Q"}, volumes, error), "");
  EXPECT_EQ(ResolveVolumes({"/nonexistent/mount"}, volumes, error), "");
}

}  // namespace
}  // namespace nd
