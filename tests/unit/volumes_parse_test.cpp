// How the kernel's mount table becomes lettered volumes, and what boot sectors and
// superblocks tell about a filesystem's name, label, serial and cluster size.
#include "platform/linux/volumes_parse.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/usable_volumes.h"
#include "shell/clean_command.h"

namespace nd::platform::internal {
namespace {

const char* kTable =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw,resuid=1000,resgid=27\n"
    "30 26 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
    "40 26 7:0 / /media/My\\040Stick rw,relatime shared:5 master:2 - ext4 /dev/loop0 rw\n"
    "41 26 7:0 /sub /srv/bound rw,relatime - ext4 /dev/loop0 rw\n"
    "42 26 7:1 / /mnt/win rw,relatime - fuseblk /dev/loop1 rw,user_id=0\n"
    "43 26 0:60 / /net/share rw - nfs4 server:/export rw\n"
    "44 26 11:0 / /media/cd ro - iso9660 /dev/sr0 ro\n"
    "45 26 7:9 / /snap/core ro - squashfs /dev/loop9 ro\n"
    "46 26 0:71 / /run/user/1000/doc rw - fuse.portal /dev/fuse rw\n"
    "47 26 0:72 / /home/u/remote rw - fuse.sshfs u@host:/ rw\n"
    "48 26 0:73 / /sys/kernel/debug rw - debugfs /dev/debug rw\n"
    "49 26 7:0 / /media/stick2 rw - ext4 /dev/loop0 rw\n"
    "garbage line\n"
    "50 26 7:2 / /no/dash rw shared:1 ext4 /dev/loop2 rw\n";

MountRecord Record(std::string point, std::string type, std::string source, unsigned major = 0,
                   unsigned minor = 0) {
  MountRecord record;
  record.mount_point = std::move(point);
  record.fs_type = std::move(type);
  record.source = std::move(source);
  record.root = "/";
  record.major = major;
  record.minor = minor;
  return record;
}

std::vector<std::string> Names(const std::vector<Lettered>& lettered) {
  std::vector<std::string> names;
  for (const Lettered& l : lettered) names.push_back(l.letter + "=" + l.mount.mount_point);
  return names;
}

TEST(MountTable, ParsesFieldsAndDecodesEscapes) {
  auto mounts = ParseMountInfo(kTable);
  ASSERT_EQ(mounts.size(), 13u);
  EXPECT_EQ(mounts[1].super_options, "rw,resuid=1000,resgid=27");
  EXPECT_EQ(mounts[3].mount_point, "/media/My Stick");
  EXPECT_EQ(mounts[3].major, 7u);
  EXPECT_EQ(mounts[3].minor, 0u);
  EXPECT_EQ(mounts[3].root, "/");
  EXPECT_EQ(mounts[3].fs_type, "ext4");  // read past the optional fields
  EXPECT_EQ(mounts[3].source, "/dev/loop0");
  EXPECT_EQ(mounts[4].root, "/sub");
  EXPECT_EQ(ParseMountInfo("1 2 8:1 /a\\134b /x\\011y rw - ext4 /dev/sda1 rw\n")[0].mount_point,
            "/x\ty");
  EXPECT_EQ(ParseMountInfo("1 2 8:1 /a\\134b /x rw - ext4 /dev/sda1 rw\n")[0].root, "/a\\b");
}

TEST(MountTable, TellsVolumesFromPseudoFilesystems) {
  auto mounts = ParseMountInfo(kTable);
  std::vector<MountKind> kinds;
  for (const MountRecord& m : mounts) kinds.push_back(KindOf(m));
  using enum MountKind;
  EXPECT_EQ(kinds, (std::vector<MountKind>{kNone, kBlock, kRam, kBlock, kBlock, kBlock, kNetwork,
                                           kOptical, kNone, kNone, kNetwork, kNone, kBlock}));
  EXPECT_EQ(KindOf(Record("/r", "ramfs", "none")), kRam);
  EXPECT_EQ(KindOf(Record("/w", "fuseblk.ntfs", "/dev/loop3")), kBlock);
}

TEST(MountTable, OneVolumePerFilesystemLetteredFromC) {
  auto volumes = SelectVolumes(ParseMountInfo(kTable), std::nullopt);
  // The stick is mounted three times: the whole filesystem at its shortest mount point wins
  // over a bind mount of a part of it, even one with a shorter path.
  EXPECT_EQ(Names(AssignLetters(volumes, 254, 0)),
            (std::vector<std::string>{"C=/", "D=/dev/shm", "E=/home/u/remote", "F=/media/cd",
                                      "G=/media/stick2", "H=/mnt/win", "I=/net/share"}));
  // Without a known data volume nobody is "C".
  EXPECT_EQ(AssignLetters(volumes, ~0u, ~0u).front().letter, "D");
}

TEST(MountTable, RestrictionKeepsOnlyTheNamedMountsAndCForTheDataVolume) {
  auto allowed = ParseMountList("/mnt/win::/media/My Stick/");
  ASSERT_TRUE(allowed);
  EXPECT_EQ(*allowed, (std::vector<std::string>{"/mnt/win", "/media/My Stick"}));
  auto mounts = ParseMountInfo(kTable);
  // The data volume (/) is not named: nobody else takes its letter.
  EXPECT_EQ(Names(AssignLetters(SelectVolumes(mounts, allowed), 254, 0)),
            (std::vector<std::string>{"D=/media/My Stick", "E=/mnt/win"}));
  // The data volume is named: it is listed as "C".
  EXPECT_EQ(Names(AssignLetters(SelectVolumes(mounts, allowed), 7, 1)),
            (std::vector<std::string>{"C=/mnt/win", "D=/media/My Stick"}));
  // Only a bind mount is named: it stands for its filesystem.
  EXPECT_EQ(Names(AssignLetters(SelectVolumes(mounts, ParseMountList("/srv/bound")), 0, 0)),
            (std::vector<std::string>{"D=/srv/bound"}));
  EXPECT_FALSE(ParseMountList(nullptr));
  EXPECT_TRUE(ParseMountList("")->empty());
  EXPECT_EQ(*ParseMountList("/"), (std::vector<std::string>{"/"}));
}

TEST(MountTable, LettersRunOutAfterZ) {
  std::vector<MountRecord> many;
  for (unsigned i = 0; i < 30; ++i) {
    char point[16];
    std::snprintf(point, sizeof point, "/m%02u", i);
    many.push_back(Record(point, "ext4", "/dev/sdx", 8, i));
  }
  auto lettered = AssignLetters(many, 8, 29);
  EXPECT_EQ(lettered[0].letter + lettered[0].mount.mount_point, "C/m29");
  EXPECT_EQ(lettered[1].letter + lettered[1].mount.mount_point, "D/m00");
  EXPECT_EQ(lettered[23].letter + lettered[23].mount.mount_point, "Z/m22");
  EXPECT_EQ(lettered[24].letter, "");
  EXPECT_EQ(lettered[29].letter, "");
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

TEST(MountTable, MountsOutOfSightAreNotVolumes) {
  // A second tmpfs over /dev/shm hides the first; a stick mounted over /media hides what was
  // mounted inside the old /media.
  auto mounts = ParseMountInfo(
      "1 0 254:0 / / rw - ext4 /dev/vda rw\n"
      "24 1 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
      "29 24 0:26 / /dev/shm rw - tmpfs tmpfs rw\n"
      "30 1 0:27 / /media rw - tmpfs tmpfs rw\n"
      "31 30 8:17 / /media/old rw - ext4 /dev/sdb1 rw\n"
      "32 30 8:33 / /media rw - ext4 /dev/sdc1 rw\n"
      "33 32 8:49 / /media/new rw - ext4 /dev/sdd1 rw\n");
  EXPECT_EQ(Visibility(mounts), (std::vector<bool>{true, false, true, false, false, true, true}));
  std::vector<unsigned> minors;
  for (const MountRecord& m : SelectVolumes(mounts, std::nullopt)) minors.push_back(m.minor);
  EXPECT_EQ(minors, (std::vector<unsigned>{26, 33, 49, 0}));
}

TEST(MountTable, FindsTheMountThatHoldsAPath) {
  // btrfs: /home is a subvolume of the same filesystem; its files carry other device numbers.
  auto mounts = ParseMountInfo(
      "1 0 0:30 /@ / rw - btrfs /dev/sda2 rw\n"
      "2 1 0:30 /@home /home rw - btrfs /dev/sda2 rw\n"
      "3 1 0:40 / /home/u/mnt rw - tmpfs tmpfs rw\n"
      "4 1 0:41 / /home/u/mnt rw - tmpfs tmpfs rw\n");
  EXPECT_EQ(MountHolding(mounts, "/home/u/.local/share")->mount_point, "/home");
  EXPECT_EQ(MountHolding(mounts, "/homework")->mount_point, "/");
  EXPECT_EQ(MountHolding(mounts, "/home/u/mnt")->minor, 41u);  // the one mounted on top
  EXPECT_FALSE(MountHolding({}, "/x"));
  // Only the whole filesystem is a volume, but the holder's numbers find it.
  auto volumes = SelectVolumes(mounts, std::nullopt);
  EXPECT_EQ(Names(AssignLetters(volumes, 0, 30)).front(), "C=/");
}

TEST(MountTable, ReadsWhoMayUseTheRootReserve) {
  ReserveOwners owners = ParseReserveOwners("rw,resuid=1000,resgid=27,errors=remount-ro");
  EXPECT_EQ(owners.uid, 1000u);
  EXPECT_EQ(owners.gid, 27u);
  owners = ParseReserveOwners("rw,relatime");
  EXPECT_EQ(owners.uid, 0u);
  EXPECT_EQ(owners.gid, 0u);
}

std::string Sector() { return std::string(4096, '\0'); }

void Put16(std::string& b, size_t at, uint16_t v) {
  for (int i = 0; i < 2; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

void Put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

std::string FatBootSector(bool fat32, uint8_t signature, const char* label, uint32_t serial) {
  std::string b = Sector();
  b[0] = static_cast<char>(0xEB);
  Put16(b, 11, 512);
  b[13] = 8;
  b[510] = 0x55;
  b[511] = static_cast<char>(0xAA);
  if (!fat32) Put16(b, 0x16, 64);  // sectors per FAT; FAT32 keeps it in a 32-bit field
  size_t record = fat32 ? 0x40 : 0x24;
  b[record + 2] = static_cast<char>(signature);
  Put32(b, record + 3, serial);
  std::memcpy(&b[record + 7], label, 11);
  return b;
}

TEST(DeviceStart, FatSerialAndLabelByVersion) {
  DeviceFacts facts = DecodeDeviceStart(FatBootSector(true, 0x29, "HOLIDAY    ", 0x1234ABCD));
  EXPECT_EQ(facts.file_system, "FAT32");
  EXPECT_EQ(facts.label, "HOLIDAY");
  EXPECT_EQ(facts.serial, 0x1234ABCD);

  facts = DecodeDeviceStart(FatBootSector(false, 0x29, "NO NAME    ", 0xDEADBEEF));
  EXPECT_EQ(facts.file_system, "FAT");
  EXPECT_EQ(facts.label, "");
  EXPECT_EQ(facts.serial, static_cast<int32_t>(0xDEADBEEF));  // negative

  // The older record has a serial but no label; without a record there is neither.
  facts = DecodeDeviceStart(FatBootSector(false, 0x28, "GARBAGE    ", 42));
  EXPECT_EQ(facts.serial, 42);
  EXPECT_EQ(facts.label, "");
  EXPECT_FALSE(DecodeDeviceStart(FatBootSector(true, 0, "GARBAGE    ", 42)).serial);

  // A partition table has the same 0x55AA ending but no jump and no geometry.
  std::string mbr = FatBootSector(true, 0x29, "HOLIDAY    ", 1);
  mbr[0] = 0;
  EXPECT_EQ(DecodeDeviceStart(mbr).file_system, "");
}

// A $Volume record of 1024 bytes in two 512-byte strides, with its update sequence applied.
std::string NtfsVolumeRecord(const std::u16string& name) {
  std::string r(1024, '\0');
  std::memcpy(&r[0], "FILE", 4);
  Put16(r, 4, 0x30);  // update sequence array
  Put16(r, 6, 3);     // its number and one entry per stride
  Put16(r, 0x14, 0x38);
  size_t at = 0x38;
  Put32(r, at, 0x30);  // $STANDARD_INFORMATION, skipped
  Put32(r, at + 4, 0x60);
  at += 0x60;
  Put32(r, at, 0x60);  // $VOLUME_NAME
  Put32(r, at + 4, 24 + 2 * name.size() + 8);
  Put32(r, at + 16, 2 * name.size());
  Put16(r, at + 20, 24);
  for (size_t i = 0; i < name.size(); ++i) Put16(r, at + 24 + 2 * i, name[i]);
  Put32(r, at + 24 + 2 * name.size() + 8, 0xFFFFFFFF);
  // Move the last two bytes of each stride into the array and stamp the sequence number.
  Put16(r, 0x30, 0x0007);
  for (size_t i = 1; i <= 2; ++i) {
    r[0x30 + 2 * i] = r[512 * i - 2];
    r[0x30 + 2 * i + 1] = r[512 * i - 1];
    Put16(r, 512 * i - 2, 0x0007);
  }
  return r;
}

TEST(DeviceStart, NtfsSerialIsTheLowHalfAndTheLabelComesFromItsVolumeRecord) {
  std::string boot = Sector();
  std::memcpy(&boot[3], "NTFS    ", 8);
  Put16(boot, 0x0B, 512);
  boot[0x0D] = 8;                       // 4 KiB clusters
  Put32(boot, 0x30, 4);                 // the MFT starts at cluster 4
  boot[0x40] = static_cast<char>(-10);  // 1024-byte records
  Put32(boot, 0x48, 0x89ABCDEF);
  Put32(boot, 0x4C, 0x01234567);
  DeviceFacts facts = DecodeDeviceStart(boot);
  EXPECT_EQ(facts.file_system, "NTFS");
  EXPECT_EQ(facts.serial, static_cast<int32_t>(0x89ABCDEF));
  EXPECT_EQ(facts.ntfs_volume_record, 4u * 4096 + 3 * 1024);
  EXPECT_EQ(facts.ntfs_record_bytes, 1024u);
  EXPECT_EQ(SerialFromUuid("0123456789ABCDEF"), facts.serial);  // udev's text of that serial

  // A name long enough to cross the first stride's end, where the fixup belongs.
  std::u16string name = u"Daten \u00dc ";
  while (name.size() < 240) name += u'x';
  std::string record = NtfsVolumeRecord(name);
  std::string expected = "Daten \xC3\x9C " + std::string(name.size() - 8, 'x');
  EXPECT_EQ(DecodeNtfsVolumeRecord(record), expected);
  record[1022] = 0;  // a torn write: the stride no longer ends in the sequence number
  EXPECT_EQ(DecodeNtfsVolumeRecord(record), "");
  EXPECT_EQ(DecodeNtfsVolumeRecord(std::string(1024, '\0')), "");
}

TEST(DeviceStart, ExtLabelSerialAndClusterSize) {
  std::string ext = Sector();
  Put16(ext, 1024 + 56, 0xEF53);
  Put32(ext, 1024 + 24, 2);  // 4 KiB blocks
  Put32(ext, 1024 + 28, 4);  // 16 KiB clusters, used only with bigalloc
  std::memcpy(&ext[1024 + 120], "backup", 6);
  const unsigned char uuid[4] = {0xF0, 0x01, 0x02, 0x03};
  std::memcpy(&ext[1024 + 104], uuid, 4);
  DeviceFacts facts = DecodeDeviceStart(ext);
  EXPECT_EQ(facts.file_system, "ext");
  EXPECT_EQ(facts.label, "backup");
  EXPECT_EQ(facts.serial, static_cast<int32_t>(0xF0010203));
  EXPECT_EQ(facts.serial, SerialFromUuid("f0010203-aaaa-bbbb-cccc-000000000000"));
  EXPECT_EQ(facts.cluster_bytes, 4096u);
  Put32(ext, 1024 + 100, 0x200);  // bigalloc
  EXPECT_EQ(DecodeDeviceStart(ext).cluster_bytes, 16384u);

  EXPECT_FALSE(DecodeDeviceStart(Sector()).serial);
  EXPECT_FALSE(DecodeDeviceStart("short").serial);
}

TEST(DeviceStart, SerialsFromUuidTextAndFsid) {
  EXPECT_EQ(SerialFromUuid("1A2B-3C4D"), 0x1A2B3C4D);  // FAT's and exFAT's short form
  EXPECT_EQ(SerialFromUuid("ffffffff-0000-0000-0000-000000000000"), -1);
  EXPECT_FALSE(SerialFromUuid("12-3"));
  EXPECT_FALSE(SerialFromUuid("1234567z-0000"));
  EXPECT_FALSE(SerialFromUuid(""));
  EXPECT_EQ(FoldFsid(0x12345678'00000000ull), 0x12345678);
  EXPECT_EQ(FoldFsid(0xFFFF0000'0000FFFFull), -1);
  EXPECT_EQ(DecodeUdevName("My\\x20Disk\\x2f2"), "My Disk/2");
}

TEST(DeviceStart, FileSystemNamesAndWhenTheBytesCount) {
  DeviceFacts none;
  DeviceFacts ntfs;
  ntfs.file_system = "NTFS";
  DeviceFacts fat16;
  fat16.file_system = "FAT";
  DeviceFacts ext;
  ext.file_system = "ext";
  EXPECT_EQ(FileSystemName("fuseblk", ntfs), "NTFS");
  EXPECT_EQ(FileSystemName("fuseblk.ntfs-3g", none), "NTFS");  // device unreadable
  EXPECT_EQ(FileSystemName("fuseblk", none), "fuseblk");
  EXPECT_EQ(FileSystemName("ntfs3", none), "NTFS");
  EXPECT_EQ(FileSystemName("vfat", fat16), "FAT");
  EXPECT_EQ(FileSystemName("vfat", none), "FAT32");
  EXPECT_EQ(FileSystemName("msdos", none), "FAT");
  EXPECT_EQ(FileSystemName("exfat", none), "exFAT");
  EXPECT_EQ(FileSystemName("ext4", ext), "ext4");
  EXPECT_EQ(FileSystemName("xfs", fat16), "xfs");
  EXPECT_TRUE(FactsDescribe("ext3", ext));
  EXPECT_TRUE(FactsDescribe("NTFS", ntfs));
  EXPECT_FALSE(FactsDescribe("xfs", fat16));
  EXPECT_FALSE(FactsDescribe("FAT32", fat16));
  EXPECT_FALSE(FactsDescribe("btrfs", none));
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
