// How volumes are described to people: sizes, the disk tiles' tool tips, and texts from outside
// (labels, mount points) that hold broken UTF-8.
#include <gtest/gtest.h>

#include "ui/utf8.h"
#include "wizard/disk_list.h"
#include "wizard_test_support.h"

namespace nd::test {
namespace {

TEST(VolumeSize, ThreeFiguresAndTheNextUnitBeforeFourDigits) {
  EXPECT_EQ(wizard::VolumeSizeText(0), "0 B");
  EXPECT_EQ(wizard::VolumeSizeText(999), "999 B");
  EXPECT_EQ(wizard::VolumeSizeText(999.5), "1.0 kB");
  EXPECT_EQ(wizard::VolumeSizeText(7.5e9), "7.5 GB");
  EXPECT_EQ(wizard::VolumeSizeText(9.94e6), "9.9 MB");
  EXPECT_EQ(wizard::VolumeSizeText(9.96e6), "10 MB");
  EXPECT_EQ(wizard::VolumeSizeText(999.4e6), "999 MB");
  EXPECT_EQ(wizard::VolumeSizeText(999.6e6), "1.0 GB");
  EXPECT_EQ(wizard::VolumeSizeText(2e24), "2000000 EB");  // beyond the last unit it just grows
  EXPECT_EQ(wizard::VolumeSizeText(-1), "0 B");
}

TEST(Utf8, BrokenBytesAreReplacedAndGoodCharactersKept) {
  EXPECT_EQ(ui::ReplaceInvalidUtf8("plain"), "plain");
  EXPECT_EQ(ui::ReplaceInvalidUtf8("Fl\xC3\xBC"
                                   "ssig \xE6\x97\xA5 \xF0\x9F\x92\xBE"),
            "Fl\xC3\xBC"
            "ssig \xE6\x97\xA5 \xF0\x9F\x92\xBE");
  const std::string bad = "\xEF\xBF\xBD";
  EXPECT_EQ(ui::ReplaceInvalidUtf8("a\xFF"
                                   "b"),
            "a" + bad + "b");
  EXPECT_EQ(ui::ReplaceInvalidUtf8("\x80"), bad);                      // a stray continuation
  EXPECT_EQ(ui::ReplaceInvalidUtf8("x\xE6\x97"), "x" + bad + bad);     // cut off at the end
  EXPECT_EQ(ui::ReplaceInvalidUtf8("\xC0\xAF"), bad + bad);            // over-long "/"
  EXPECT_EQ(ui::ReplaceInvalidUtf8("\xED\xA0\x80"), bad + bad + bad);  // a surrogate
  EXPECT_EQ(ui::ReplaceInvalidUtf8("\xF4\x90\x80\x80"), bad + bad + bad + bad);
  EXPECT_EQ(ui::Utf8CharLength("\xF4\x8F\xBF\xBF", 0), 4u);  // U+10FFFF, the last one
  EXPECT_EQ(ui::Utf8CharLength("a", 1), 0u);
}

TEST(DiskList, TilesTellMountPointLabelFileSystemAndSize) {
  WizardRig rig;
  rig.volume.info().RootPath = "/media/user/My Stick";
  rig.volume.info().VolumeName = "My \"Stick\"";
  rig.volume.info().FileSystem = "FAT32";
  rig.volume.info().TotalSize = 7.5e9;
  VolumeInfo bare;
  bare.DriveLetter = "E";
  bare.DriveType = kDriveFixed;
  bare.IsReady = true;
  bare.TotalSize = 512e9;
  bare.FileSystem = "ext4";
  bare.RootPath = "/srv";
  rig.volume.more_volumes = {bare};
  wizard::Start& w = rig.Open();
  w.Command1.UserClick();
  ASSERT_EQ(w.DiskLabel.UBound(), 1);
  EXPECT_EQ(w.DiskLabel[0].Caption(), "D");  // the caption stays the letter
  EXPECT_EQ(w.DiskLabel[0].ToolTipText(), "/media/user/My Stick\nMy \"Stick\"\nFAT32, 7.5 GB");
  EXPECT_EQ(w.DiskImage[0].ToolTipText(), w.DiskLabel[0].ToolTipText());
  // A tile copied from tile 0 gets a tool tip of its own; without a label there is no line.
  EXPECT_EQ(w.DiskLabel[1].ToolTipText(), "/srv\next4, 512 GB");
  EXPECT_EQ(w.DiskImage[1].ToolTipText(), "/srv\next4, 512 GB");

  // A rebuild after a click keeps each tile's own text.
  w.DiskImage[1].UserClick();
  EXPECT_EQ(w.DiskLabel[1].ToolTipText(), "/srv\next4, 512 GB");
}

}  // namespace
}  // namespace nd::test
