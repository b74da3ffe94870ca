// The command line's modes and the main window's links that start other copies, on the
// scripted host with scratch folders and a stand-in for the desktop's URL opener.
#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_browser.h"
#include "platform/paths.h"
#include "platform/shell_links.h"
#include "wizard/navigation.h"
#include "wizard_test_support.h"

namespace nd::test {
namespace {

using shell::Mode;
using shell::ModeOf;

TEST(CommandLine, OnlyAnExactModeWordCounts) {
  EXPECT_EQ(ModeOf("lang"), Mode::kLang);
  EXPECT_EQ(ModeOf("subscribe"), Mode::kSubscribe);
  EXPECT_EQ(ModeOf("updates"), Mode::kUpdates);
  EXPECT_EQ(ModeOf("install"), Mode::kInstall);
  EXPECT_EQ(ModeOf("uninstall"), Mode::kUninstall);
  EXPECT_EQ(ModeOf("vard"), Mode::kVard);
  for (const char* other : {"", "LANG", "Lang", "lang updates", " lang", "lang ", "--lang"}) {
    EXPECT_EQ(ModeOf(other), Mode::kWizard) << other;
  }
}

TEST(CommandLine, TheWizardStartsForAnyOtherArgument) {
  FakeBrowser browser;
  WizardRig rig;
  rig.command_line = "LANG";
  rig.Open();
  EXPECT_TRUE(rig.loaded);
  EXPECT_TRUE(rig.second_windows.empty());
  EXPECT_FALSE(rig.host.Ended());
}

TEST(CommandLine, LangAndSubscribeHandTheProcessToTheSecondWindow) {
  for (const char* mode : {"lang", "subscribe"}) {
    FakeBrowser browser;
    WizardRig rig;
    rig.command_line = mode;
    wizard::Start& w = rig.Open();
    EXPECT_FALSE(rig.loaded);
    EXPECT_EQ(rig.second_windows, std::vector<std::string>{mode});
    EXPECT_TRUE(w.IsClosed());
    EXPECT_FALSE(rig.host.Ended());  // the second window carries on
  }
}

TEST(CommandLine, UpdatesRestartsTheCountAndOpensTheUpdatePage) {
  FakeBrowser browser;
  WizardRig rig;
  Save(rig.context.settings, settings::kRecentUpdate, "2000-01-01 10:00:00");
  rig.host.QueueAnswer(ui::MsgBoxResult::kNo);  // the reminder comes first
  rig.command_line = "updates";
  rig.Open();
  ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_NE(rig.Stored(settings::kRecentUpdate), "2000-01-01 10:00:00");
  const std::vector<std::string> opened = browser.Opened();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_NE(opened[0].find("?scn=NDRF&to=updates&version=3.00&"), std::string::npos);
  EXPECT_EQ(rig.host.ExitCode(), 0);
}

TEST(CommandLine, InstallTellsTheServerInstallThenReinstallAndStampsTheMonth) {
  FakeBrowser browser;
  WizardRig rig;
  rig.command_line = "install";
  rig.Open();
  EXPECT_EQ(rig.host.ExitCode(), 0);
  // The scripted clock stands in January 2027.
  EXPECT_EQ(rig.Stored(settings::kReloadMonth), "1");
  EXPECT_EQ(rig.Stored(settings::kReloadYear), "2027");
  const std::string suffix = platform::ShellLinkSuffix();
  EXPECT_TRUE(FileExists(rig.context.env.common_desktop_folder + "/Nulldrift 3" + suffix));
  const std::string shortcuts = rig.context.env.common_programs_folder + "/Nulldrift 3";
  EXPECT_TRUE(FileExists(shortcuts + "/Check for updates" + suffix));
#ifndef _WIN32
  EXPECT_NE(ReadFile(shortcuts + "/Check for updates.desktop").find(" updates\n"),
            std::string::npos);
#endif

  // Each opening appends to one log; under Wine two openers at once may not both get it.
  ASSERT_EQ(browser.Opened(1).size(), 1u);
  rig.Restart();
  const std::vector<std::string> opened = browser.Opened(2);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_NE(opened[0].find("&to=install&"), std::string::npos);
  EXPECT_NE(opened[1].find("&to=reinstall&"), std::string::npos);
}

TEST(CommandLine, UninstallEndsTheProgramWhateverTheAnswer) {
  FakeBrowser browser;
  WizardRig rig;
  rig.command_line = "uninstall";
  rig.host.QueueAnswer(ui::MsgBoxResult::kNo);
  rig.Open();
  EXPECT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_TRUE(rig.window->IsClosed());
  EXPECT_EQ(rig.host.ExitCode(), 0);
  EXPECT_TRUE(browser.Opened(0).empty());
}

TEST(CommandLine, VardWithOnlyEnglishSaysSoAndEnds) {
  FakeBrowser browser;
  WizardRig rig;
  const std::string languages = rig.context.env.program_folder + "/Languages";
  std::filesystem::remove_all(languages);
  std::filesystem::create_directory(languages);
  std::filesystem::copy_file(rig.context.language.languages_folder + "/English.ini",
                             languages + "/English.ini");
  rig.command_line = "vard";
  rig.Open();
  ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].text, "Interface translated completely.");
  EXPECT_EQ(rig.host.ExitCode(), 0);
}

TEST(WizardLinks, LanguageAndNewsletterLinksHandOverToAnotherCopy) {
  FakeBrowser browser;
  WizardRig rig;
  wizard::Start& w = rig.Open();
  w.Label12.UserClick();
  EXPECT_EQ(rig.second_copies, std::vector<std::string>{"lang"});
  EXPECT_TRUE(w.IsClosed());
  EXPECT_EQ(rig.host.ExitCode(), 0);

  WizardRig other;
  wizard::ShowPage(other.Open(), wizard::kLastPage);
  other.window->Label46.UserClick();
  EXPECT_EQ(other.second_copies, std::vector<std::string>{"subscribe"});
  EXPECT_TRUE(other.window->IsClosed());
}

TEST(WizardLinks, ACopyThatCannotStartIsReportedAndTheWizardStays) {
  FakeBrowser browser;
  WizardRig rig;
  rig.second_copy_starts = false;
  wizard::Start& w = rig.Open();
  w.Label12.UserClick();
  ASSERT_EQ(rig.host.MsgBoxes().size(), 1u);
  EXPECT_EQ(rig.host.MsgBoxes()[0].icon, ui::MsgBoxIcon::kCritical);
  EXPECT_NE(rig.host.MsgBoxes()[0].text.find(platform::JoinPath("program", "nulldrift")),
            std::string::npos);
  EXPECT_FALSE(w.IsClosed());
  EXPECT_FALSE(rig.host.Ended());
}

TEST(WizardLinks, UpdatesAndSiteLinksLeaveTheReportShown) {
  FakeBrowser browser;
  WizardRig rig;
  wizard::Start& w = rig.Open();
  wizard::ShowPage(w, wizard::kLastPage);
  w.Label43.UserClick();
  w.Label24.UserClick();
  EXPECT_EQ(rig.second_copies, std::vector<std::string>{"updates"});
  const std::vector<std::string> opened = browser.Opened();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_NE(opened[0].find("/software/__s2_system.pl?scn=NDRF&to=site&"), std::string::npos);
  EXPECT_FALSE(w.IsClosed());
  EXPECT_TRUE(w.Page(wizard::kLastPage).Visible());
}

}  // namespace
}  // namespace nd::test
