// The main window around a job: starting it from the review page, the end-of-job sound and
// power-off on the fake clock, and the closing check during and after a job.
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "shell/end_of_job.h"
#include "wizard/disk_list.h"
#include "wizard_test_support.h"

namespace nd::test {
namespace {

using wizard::Start;

// Runs the wizard from page 1 through a job on D to the report page.
void RunJobToTheReport(WizardRig& rig) {
  Start& w = *rig.window;
  w.Command1.UserClick();
  if (wizard::SelectedDiskLetters(w).empty()) w.DiskImage[0].UserClick();
  for (int page = 2; page < 6; ++page) w.Command1.UserClick();
  ASSERT_EQ(w.CurrentPage, 6);
  EXPECT_TRUE(w.JobRunning());
  EXPECT_TRUE(w.worknow.Enabled());
  rig.host.AdvanceTime(50);  // the one-shot start
}

TEST(WizardJob, Way1JobFromTheReviewPageToTheReport) {
  WizardRig rig;
  Start& w = rig.Open();
  RunJobToTheReport(rig);
  EXPECT_EQ(w.CurrentPage, 7);
  EXPECT_FALSE(w.worknow.Enabled());
  EXPECT_FALSE(w.JobRunning());
  EXPECT_EQ(w.Command1.Caption(), "Finish");
  EXPECT_EQ(w.ReportDisk[0].Caption(), "D:");
  EXPECT_EQ(w.ReportImage[0].PictureName(), "IconOK");
  EXPECT_EQ(w.StepImage[1].PictureName(), "IconOKgray");
  const std::string log = ReadFile(rig.context.env.data_folder + "/log.txt");
  EXPECT_EQ(log.substr(0, 2), "1|");
  EXPECT_TRUE(rig.volume.files().empty());

  // Back goes to the welcome page; the history shows the run when page 2 comes again.
  w.Command2.UserClick();
  EXPECT_EQ(w.CurrentPage, 1);
  w.Command1.UserClick();
  EXPECT_EQ(w.ListView1.RowCount(), 1);
  // A second pass through the pages starts a second job.
  for (int page = 2; page < 6; ++page) w.Command1.UserClick();
  rig.host.AdvanceTime(50);
  EXPECT_EQ(w.CurrentPage, 7);
  w.Command1.UserClick();
  EXPECT_TRUE(w.IsClosed());
  EXPECT_TRUE(rig.host.Ended());
}

TEST(EndOfJob, SoundPlaysTwentyFiveTimesOrOnceAfterAStop) {
  WizardRig rig;
  Start& w = rig.Open();
  RunJobToTheReport(rig);
  EXPECT_EQ(rig.sounds.size(), 1u);
  EXPECT_EQ(rig.sounds[0], platform::JoinPath(rig.context.env.program_folder, "sound.wav"));
  rig.host.AdvanceTime(120'000);
  EXPECT_EQ(rig.sounds.size(), 25u);
  EXPECT_FALSE(w.PlayWAV.Enabled());
  rig.host.AdvanceTime(60'000);
  EXPECT_EQ(rig.sounds.size(), 25u);

  // Stopped by the user: one play, no repetition.
  rig.sounds.clear();
  w.Command2.UserClick();
  w.Command1.UserClick();
  for (int page = 2; page < 6; ++page) w.Command1.UserClick();
  rig.host.AtDoEvents(rig.host.DoEventsCount() + 3, [&w] { w.Command4.UserClick(); });
  rig.host.AdvanceTime(50);
  EXPECT_EQ(w.CurrentPage, 7);
  EXPECT_EQ(w.ReportImage[0].PictureName(), "IconERROR");
  EXPECT_EQ(rig.sounds.size(), 1u);
  EXPECT_FALSE(w.PlayWAV.Enabled());

  // Sound off: silence, and no trace of it.
  WizardRig quiet;
  Save(quiet.context.settings, settings::kPlaySound, "NO");
  quiet.Open();
  RunJobToTheReport(quiet);
  quiet.host.AdvanceTime(10'000);
  EXPECT_TRUE(quiet.sounds.empty());
}

TEST(EndOfJob, PowerOffCountsDownRequestsAndReportsAFailure) {
  WizardRig rig;
  Start& w = rig.Open();
  w.Check1.SetValue(1);
  RunJobToTheReport(rig);
  const std::string seconds = "s. To cancel, click Back or Finish.";
  EXPECT_EQ(w.Label21.Caption(),
            LookupText(rig.context.language, "INTERFACE", "INITIATINGSHUTDOWN"));
  rig.host.AdvanceTime(1000);
  EXPECT_EQ(w.Label21.Caption(), "The computer will be turned off in 20 " + seconds);
  rig.host.AdvanceTime(20'000);
  EXPECT_EQ(w.Label21.Caption(), "Turning off the computer...");
  EXPECT_EQ(rig.power_offs, 1);
  rig.host.AdvanceTime(14'000);
  EXPECT_EQ(w.Label21.Caption(), "Turning off the computer...");
  rig.host.AdvanceTime(1000);
  EXPECT_EQ(w.Label21.Caption(), LookupText(rig.context.language, "INTERFACE", "SHUTDOWNPROBLEM"));
  EXPECT_FALSE(w.turnoff.Enabled());
  EXPECT_NE(ReadFile(rig.context.env.data_folder + "/fileerror.txt").find("SHUTDOWNPROBLEM"),
            std::string::npos);
  rig.host.AdvanceTime(60'000);
  EXPECT_EQ(rig.power_offs, 1);
}

TEST(EndOfJob, BackDuringTheCountdownCancelsIt) {
  WizardRig rig;
  Start& w = rig.Open();
  w.Check1.SetValue(1);
  RunJobToTheReport(rig);
  rig.host.AdvanceTime(5000);
  const std::string shown = w.Label21.Caption();
  w.Command2.UserClick();
  EXPECT_EQ(w.CurrentPage, 1);
  rig.host.AdvanceTime(60'000);
  EXPECT_EQ(rig.power_offs, 0);
  EXPECT_EQ(w.Label21.Caption(), shown);
}

TEST(Closing, UserCloseIsRefusedDuringAJobAndTheJobGoesOn) {
  WizardRig rig;
  Start& w = rig.Open();
  rig.host.AtDoEvents(rig.host.DoEventsCount() + 12, [&] {
    EXPECT_FALSE(w.Close(ui::CloseReason::kUserClose));
    EXPECT_FALSE(w.Close(ui::CloseReason::kUserClose));
  });
  RunJobToTheReport(rig);
  EXPECT_EQ(w.CurrentPage, 7);
  EXPECT_EQ(w.ReportImage[0].PictureName(), "IconOK");
  ASSERT_EQ(rig.host.MsgBoxes().size(), 2u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].text,
            LookupText(rig.context.language, "VERSION3", "STOP-OPERATIONS-FIRST"));
  EXPECT_FALSE(w.IsClosed());
}

TEST(Closing, SessionEndDuringAJobStopsItCleansUpAndThenCloses) {
  WizardRig rig;
  Start& w = rig.Open();
  Save(rig.context.settings, settings::kSecurityWay, "7");
  rig.host.AtDoEvents(rig.host.DoEventsCount() + 40,
                      [&] { EXPECT_FALSE(w.Close(ui::CloseReason::kSessionEnding)); });
  RunJobToTheReport(rig);
  EXPECT_TRUE(w.IsClosed());
  EXPECT_TRUE(rig.host.Ended());
  EXPECT_TRUE(rig.host.MsgBoxes().empty());
  EXPECT_EQ(ReadFile(rig.context.env.data_folder + "/log.txt").substr(0, 2), "0|");
  EXPECT_TRUE(rig.volume.files().empty());  // everything the job wrote is gone
}

TEST(Closing, OutsideAJobTheWindowHidesAndSweepsLeftovers) {
  WizardRig rig;
  Start& w = rig.Open();
  w.Show();
  w.Command1.UserClick();
  w.DiskImage[0].UserClick();
  w.Command1.UserClick();
  // A folder left by an interrupted run appears while the wizard is open.
  rig.volume.MakeFolder(test::kFakeWork);
  EXPECT_TRUE(w.Close(ui::CloseReason::kUserClose));
  EXPECT_FALSE(w.Visible());
  EXPECT_FALSE(rig.volume.FolderExists(test::kFakeWork));
  EXPECT_EQ(rig.host.MsgBoxes().size(), 2u);  // the sweep's before and after
}

}  // namespace
}  // namespace nd::test
