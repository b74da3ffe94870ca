// The wizard's pages on the scripted host: start-up restoring, the page machine, the disk
// tiles, the review texts and the run history.
#include <gtest/gtest.h>

#include "system/scramble.h"
#include "wizard/disk_list.h"
#include "wizard/navigation.h"
#include "wizard/run_history.h"
#include "wizard_test_support.h"

namespace nd::test {
namespace {

using wizard::Start;

VolumeInfo Volume(const std::string& letter, int type, double size = 1e9, bool ready = true) {
  VolumeInfo v;
  v.DriveLetter = letter;
  v.DriveType = type;
  v.TotalSize = size;
  v.IsReady = ready;
  return v;
}

int VisiblePage(const Start& w) {
  int shown = 0;
  for (int i : w.win.Indices()) {
    if (w.win[i].Visible()) shown = shown == 0 ? i : -1;
  }
  return shown;
}

// Next until page `n` is reached, selecting D on the way.
void GoTo(WizardRig& rig, int n) {
  Start& w = *rig.window;
  while (w.CurrentPage < n) {
    if (w.CurrentPage == 2 && wizard::SelectedDiskLetters(w).empty()) w.DiskImage[0].UserClick();
    w.Command1.UserClick();
  }
}

TEST(StartUp, FreshProfileOpensTheWelcomePageWithTheDefaults) {
  WizardRig rig;
  Start& w = rig.Open();
  ASSERT_TRUE(rig.loaded);
  EXPECT_EQ(VisiblePage(w), 1);
  EXPECT_EQ(w.CurrentPage, 1);
  EXPECT_EQ(w.Caption(), "Nulldrift 3.00 English");
  EXPECT_EQ(w.Label12.Caption(), "English");
  EXPECT_EQ(w.Command1.Caption(), "Next >");
  EXPECT_TRUE(w.Option6.Value());
  EXPECT_TRUE(w.Option8.Value());
  EXPECT_EQ(w.SelectedMethod(), 2);
  EXPECT_EQ(w.Check4.Value(), 0);
  EXPECT_EQ(w.Check3.Value(), 1);
  EXPECT_EQ(w.Check6.Value(), 0);
  EXPECT_FALSE(w.Check6.Enabled());
  // Without a way to refuse stand-by the box is cleared and greyed, and the store says so.
  EXPECT_EQ(w.Check5.Value(), 0);
  EXPECT_FALSE(w.Check5.Enabled());
  EXPECT_EQ(rig.Stored(settings::kPreventStandBy), "NO");
  EXPECT_EQ(rig.Stored(settings::kSecurityMethod), "");  // method 2 was already selected
  EXPECT_TRUE(rig.host.MsgBoxes().empty());
}

TEST(StartUp, RestoresEveryStoredChoiceAndSavesItAgain) {
  WizardRig rig;
  rig.standby_available = true;
  Start& w = rig.Open();
  EXPECT_EQ(w.Check5.Value(), 1);
  EXPECT_TRUE(w.Check5.Enabled());
  // Changed from code, as the controls are on pages not shown; the handlers run all the same.
  w.Option4.SetValue(true);
  w.Option7.SetValue(true);
  w.Option10.SetValue(true);
  w.Check4.SetValue(1);
  w.Check3.SetValue(0);
  w.Check7.SetValue(1);
  const std::string scrambled = rig.Stored(settings::kSecurityMethod);
  EXPECT_EQ(UnscrambleText(scrambled, settings::kMethodScrambleKey), "4");
  EXPECT_EQ(rig.Stored(settings::kSecurityWay), "7");
  EXPECT_EQ(rig.Stored(settings::kNtfsMode), "3");
  EXPECT_EQ(rig.Stored(settings::kEmptyBin), "YES");
  EXPECT_EQ(rig.Stored(settings::kPlaySound), "NO");
  EXPECT_EQ(rig.Stored(settings::kRunSecondWindow), "YES");

  Start& again = rig.Restart();
  EXPECT_EQ(again.SelectedMethod(), 4);
  EXPECT_NE(rig.Stored(settings::kSecurityMethod), scrambled);  // re-saved with new salt
  EXPECT_TRUE(again.Option7.Value());
  EXPECT_TRUE(again.Option10.Value());
  EXPECT_EQ(again.Check4.Value(), 1);
  EXPECT_EQ(again.Check3.Value(), 0);
  // The welcome page is skipped, and the disk page was built during start-up.
  EXPECT_EQ(VisiblePage(again), 2);
  EXPECT_EQ(again.Check7.Value(), 1);
  EXPECT_EQ(again.DiskLabel[0].Caption(), "D");
}

TEST(StartUp, UnknownStoredValuesLeaveTheirGroupsEmpty) {
  WizardRig rig;
  Save(rig.context.settings, settings::kNtfsMode, "1");
  Save(rig.context.settings, settings::kSecurityWay, "2");
  Save(rig.context.settings, settings::kSecurityMethod, "hand-edited");
  Start& w = rig.Open();
  EXPECT_EQ(w.ntfs_modes.Selected(), nullptr);
  EXPECT_EQ(w.ways.Selected(), nullptr);
  EXPECT_EQ(w.SelectedMethod(), 2);
  // The review then says what the job will do: way 1.
  GoTo(rig, 5);
  EXPECT_EQ(w.Label19.Caption(), "Quick cleaning");
  EXPECT_EQ(w.Label20.Caption(), "No");
}

TEST(StartUp, BackgroundPictureMissingOrUndecodableEndsTheProgram) {
  WizardRig missing;
  std::filesystem::remove(missing.context.env.program_folder + "/program-back.jpg");
  missing.Open();
  EXPECT_FALSE(missing.loaded);
  ASSERT_EQ(missing.host.MsgBoxes().size(), 1u);
  EXPECT_EQ(missing.host.MsgBoxes()[0].text, "No background image! Reinstall program!");
  EXPECT_EQ(missing.host.MsgBoxes()[0].icon, ui::MsgBoxIcon::kCritical);
  EXPECT_TRUE(missing.host.Ended());
  EXPECT_EQ(missing.window->CurrentPage, 0);  // no page was ever shown

  WizardRig damaged;
  damaged.background_decodes = false;
  damaged.Open();
  EXPECT_FALSE(damaged.loaded);
  ASSERT_EQ(damaged.host.MsgBoxes().size(), 1u);
  EXPECT_NE(damaged.host.MsgBoxes()[0].text.find("cannot be read"), std::string::npos);
  EXPECT_TRUE(damaged.host.Ended());
}

TEST(Navigation, NextAndBackFollowThePageTable) {
  WizardRig rig;
  Start& w = rig.Open();
  w.Command2.UserClick();
  EXPECT_EQ(w.CurrentPage, 1);  // Back on page 1 does nothing
  w.Command1.UserClick();
  EXPECT_EQ(VisiblePage(w), 2);
  EXPECT_TRUE(w.DiskListRefresher.Enabled());

  // Nothing selected: a warning, and the page and its timer stay.
  w.Command1.UserClick();
  ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].text,
            "Please select at least one disk: click its icon or its letter.");
  EXPECT_EQ(rig.host.MsgBoxes()[0].icon, ui::MsgBoxIcon::kExclamation);
  EXPECT_EQ(w.CurrentPage, 2);
  EXPECT_TRUE(w.DiskListRefresher.Enabled());

  w.DiskLabel[0].UserClick();
  w.Command1.UserClick();
  EXPECT_EQ(VisiblePage(w), 3);
  EXPECT_FALSE(w.DiskListRefresher.Enabled());
  w.Command2.UserClick();
  EXPECT_EQ(VisiblePage(w), 2);
  EXPECT_TRUE(w.DiskListRefresher.Enabled());
  w.Command2.UserClick();
  EXPECT_EQ(VisiblePage(w), 1);  // page 1 even when it is skipped at start-up
}

TEST(Navigation, NextAndBackCancelTheEndOfJobTimersEvenWhenRefused) {
  WizardRig rig;
  Start& w = rig.Open();
  w.Command1.UserClick();
  w.PlayWAV.SetEnabled(true);
  w.turnoff.SetEnabled(true);
  w.Command1.UserClick();  // refused: nothing selected
  EXPECT_FALSE(w.PlayWAV.Enabled());
  EXPECT_FALSE(w.turnoff.Enabled());
  w.Command2.UserClick();
  w.PlayWAV.SetEnabled(true);
  w.Command2.UserClick();  // ignored on page 1
  EXPECT_FALSE(w.PlayWAV.Enabled());
}

TEST(DiskList, ListsUsableVolumesWithTheirIconsInEnumerationOrder) {
  WizardRig rig;
  rig.volume.more_volumes = {
      Volume("e", kDriveRemovable, 33e9), Volume("F", kDriveRemovable, 33e9 + 1),
      Volume("G", kDriveNetwork),         Volume("H", kDriveCdRom),
      Volume("I", kDriveRamDisk),         Volume("J", kDriveRemovable, 1e9, false),
      Volume("KL", kDriveFixed),          Volume("M", kDriveUnknown)};
  Start& w = rig.Open();
  w.Command1.UserClick();
  ASSERT_EQ(w.DiskLabel.UBound(), 4);
  std::string letters;
  for (int i = 0; i <= 4; ++i) letters += w.DiskLabel[i].Caption();
  EXPECT_EQ(letters, "DEFGM");
  EXPECT_EQ(w.DiskImage[1].PictureName(), "DiskFlash");  // exactly 33,000,000,000 bytes
  EXPECT_EQ(w.DiskImage[2].PictureName(), "DiskEHDD");
  EXPECT_EQ(w.DiskImage[3].PictureName(), "DiskHDD");
  EXPECT_EQ(w.DiskImage[4].PictureName(), "DiskHDD");  // unknown type keeps tile 0's picture
  EXPECT_EQ(w.DiskImage[1].Left() - w.DiskImage[0].Left(), wizard::kStartWidth / 7);
  EXPECT_EQ(w.DiskLabel[4].Left() - w.DiskLabel[3].Left(), wizard::kStartWidth / 7);

  // Selection order does not matter, and letters come back upper case.
  w.DiskImage[4].UserClick();
  w.DiskLabel[1].UserClick();
  EXPECT_EQ(wizard::SelectedDiskLetters(w), "EM");
  EXPECT_EQ(w.DiskImageSel[1].PictureName(), "IconOK");
  EXPECT_EQ(w.DiskImageSel[0].PictureName(), "");
  w.DiskImage[1].UserClick();
  EXPECT_EQ(wizard::SelectedDiskLetters(w), "M");
  // Deselecting stores the empty text; the key stays.
  const std::string stored = ReadFile(rig.context.settings.folder() + "/NDRF.ini");
  EXPECT_NE(stored.find("\nE=\r\n"), std::string::npos) << stored;
}

TEST(DiskList, TimerFollowsVolumesThatComeAndGoAndSelectionSurvives) {
  WizardRig rig;
  Start& w = rig.Open();
  w.Command1.UserClick();
  ASSERT_EQ(w.DiskLabel.UBound(), 0);
  rig.volume.more_volumes = {Volume("E", kDriveRemovable)};
  rig.host.AdvanceTime(499);
  EXPECT_EQ(w.DiskLabel.UBound(), 0);
  rig.host.AdvanceTime(1);
  ASSERT_EQ(w.DiskLabel.UBound(), 1);
  w.DiskImage[1].UserClick();

  rig.volume.more_volumes.clear();  // the stick is pulled out ...
  rig.host.AdvanceTime(500);
  EXPECT_EQ(w.DiskLabel.UBound(), 0);
  EXPECT_EQ(wizard::SelectedDiskLetters(w), "");
  rig.volume.more_volumes = {Volume("E", kDriveRemovable)};  // ... and comes back selected
  rig.host.AdvanceTime(500);
  EXPECT_EQ(wizard::SelectedDiskLetters(w), "E");

  // Off page 2 nothing is watched.
  w.Command1.UserClick();
  rig.volume.more_volumes.clear();
  rig.host.AdvanceTime(2000);
  EXPECT_EQ(w.DiskLabel.UBound(), 1);
}

TEST(Review, ShowsTheChoicesOfTheMomentInDiskListOrder) {
  WizardRig rig;
  rig.volume.more_volumes = {Volume("E", kDriveFixed)};
  Start& w = rig.Open();
  w.Command1.UserClick();
  w.DiskImage[1].UserClick();
  w.DiskImage[0].UserClick();
  GoTo(rig, 5);
  EXPECT_EQ(w.Label18.Caption(), "DE");
  EXPECT_EQ(w.Label19.Caption(), "Quick cleaning, FAT/NTFS: " + w.Option8.Caption());
  EXPECT_EQ(w.Label20.Caption(), "No");  // way 1: the method is not shown
  EXPECT_EQ(w.Label40.Caption(), "No");

  w.Command2.UserClick();
  w.Command2.UserClick();
  w.Option7.UserClick();
  w.Option10.UserClick();
  w.Command1.UserClick();
  w.Option4.UserClick();
  w.Check4.UserClick();
  w.Command1.UserClick();
  EXPECT_EQ(w.Label19.Caption(), "Thorough cleaning, FAT/NTFS: " + w.Option10.Caption());
  EXPECT_EQ(w.Label20.Caption(), "Gutmann");
  EXPECT_EQ(w.Label40.Caption(), "Yes");
}

TEST(RunHistory, RowsFromTheJobLogWithFilterAndClearLink) {
  EXPECT_EQ(wizard::DurationText("59"), "0 min");
  EXPECT_EQ(wizard::DurationText("3600"), "60 min");
  EXPECT_EQ(wizard::DurationText("12.5"), "12.5");
  EXPECT_EQ(wizard::DurationText(""), "");

  WizardRig rig;
  const std::string log = rig.context.env.data_folder + "/log.txt";
  WriteFile(log,
            "1|2026-12-01 10:00|x|754|D|DATA|NTFS|1234|2|1\r\n"
            "0|2026-11-30 09:00|x|abc|E|STICK|FAT32|5678|1|3\r\n"
            "3|broken line\r\n");
  Start& w = rig.Open();
  w.Command1.UserClick();
  const ui::ListView& list = w.ListView1;
  ASSERT_EQ(list.RowCount(), 3);
  EXPECT_EQ(list.Row(0), (std::vector<std::string>{"D", "DATA", "2026-12-01 10:00", "12 min",
                                                   "Cleaning mode: Thorough cleaning, FAT/NTFS: " +
                                                       w.Option8.Caption()}));
  EXPECT_EQ(list.Text(1, 3), "abc");
  EXPECT_EQ(list.Text(1, 4), LookupText(rig.context.language, "VERSION3", "WORK-STATUS-0"));
  // A damaged line neither stops the list nor vanishes.
  EXPECT_EQ(list.Text(2, 2), "broken line");
  EXPECT_EQ(list.Text(2, 0), "");
  ASSERT_EQ(list.Columns().size(), 5u);
  EXPECT_EQ(list.Columns()[4].header, "Info");
  EXPECT_EQ(list.Columns()[4].width, list.Width() / 2);
  EXPECT_TRUE(list.Visible());

  w.Check9.UserClick();
  EXPECT_EQ(rig.Stored(settings::kShowGoodOnly), "YES");
  EXPECT_EQ(list.RowCount(), 1);

  WriteFile(log, "0|2026-11-30 09:00|x|5|E|STICK|FAT32|5678|1|3\r\n");
  w.Command2.UserClick();
  w.Command1.UserClick();
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_FALSE(list.Visible());
  EXPECT_FALSE(w.Label29.Visible());
  EXPECT_FALSE(w.Label22.Visible());
  EXPECT_TRUE(w.Check9.Visible());

  w.Check9.UserClick();
  EXPECT_TRUE(w.Label22.Visible());
  w.Label22.UserClick();
  EXPECT_FALSE(std::filesystem::exists(log));
  EXPECT_FALSE(list.Visible());
}

}  // namespace
}  // namespace nd::test
