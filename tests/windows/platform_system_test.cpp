// Machine facts, processes, the Recycle Bin and power, as Wine's prefix answers them.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>

#include "platform/clock_text.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/os_environment.h"
#include "platform/power.h"
#include "platform/process.h"
#include "platform/trash.h"
#include "platform/windows/path_forms.h"
#include "scratch.h"

namespace nd::platform {
namespace {

TEST(Environment, SpecialFoldersExistAndTheSystemDriveIsTheWindowsFolders) {
  for (SpecialFolder folder :
       {SpecialFolder::kAppData, SpecialFolder::kCommonPrograms, SpecialFolder::kCommonDesktop,
        SpecialFolder::kWindows, SpecialFolder::kProgramFiles}) {
    std::string path = GetSpecialFolder(folder);
    EXPECT_TRUE(IsDirectory(path)) << static_cast<int>(folder) << " " << path;
  }
  std::string windows = GetSpecialFolder(SpecialFolder::kWindows);
  ASSERT_GE(windows.size(), 3u);
  EXPECT_EQ(SystemDriveLetter(), std::string(1, windows[0]));
  EXPECT_EQ(SystemVolumeRoot(), SystemDriveLetter() + ":\\");
  EXPECT_TRUE(IsDirectory(TempPath()));
  EXPECT_GT(OsMajorVersion(), 4);
  EXPECT_EQ(CanonicalPath(ProgramFolder()),
            CanonicalPath(ExecutablePath().substr(0, ExecutablePath().find_last_of('\\'))));
  EXPECT_EQ(ProcessId(), static_cast<int>(::GetCurrentProcessId()));
}

TEST(Environment, ShortAndLongFormsOfAPathRoundTrip) {
  test::ScratchFolder scratch;
  const std::string long_name = scratch / "A folder with a long name";
  ASSERT_TRUE(MakeDirectory(long_name));
  std::string short_form = win::ShortPathOf(long_name);
  ASSERT_FALSE(short_form.empty());
  EXPECT_EQ(short_form.find(' '), std::string::npos) << short_form;
  EXPECT_EQ(win::LongPathOf(short_form), long_name);
  EXPECT_EQ(win::ShortPathOf(scratch / "missing"), "");
  EXPECT_EQ(win::LongPathOf(scratch / "missing"), scratch / "missing");
}

TEST(Process, SpawnStartsProgramsWithExactArgumentsAndReportsMissingOnes) {
  test::ScratchFolder scratch;
  const std::string marker = scratch / "spawned";
  ASSERT_TRUE(Spawn("cmd.exe", {"/c", "mkdir", marker}, {.search_path = true}));
  for (int i = 0; i < 100 && !IsDirectory(marker); ++i) ::Sleep(100);
  EXPECT_TRUE(IsDirectory(marker));
  EXPECT_FALSE(Spawn(scratch / "missing.exe", {}));
  EXPECT_FALSE(Spawn("no-such-program-anywhere", {}, {.search_path = true}));
  EXPECT_FALSE(Spawn("", {}));
}

TEST(Locale, CountryAndClockTextsComeFromTheUserSettings) {
  // The runner starts Wine with LANG=C.UTF-8, which Wine takes for English (United States).
  EXPECT_EQ(UserCountry(), "United States");
  auto when = std::chrono::system_clock::now();
  EXPECT_FALSE(LocalDateTimeText(when).empty());
  std::string iso = LocalIsoDateTimeText(when);
  ASSERT_EQ(iso.size(), 19u);
  LocalDate date = LocalDateOf(when);
  EXPECT_EQ(iso.substr(0, 4), std::to_string(date.year));
  EXPECT_GE(date.month, 1);
  EXPECT_LE(date.day, 31);
}

TEST(Power, TheMachineCountsAsOnMainsAndSleepCanBeRefused) {
  auto blocker = MakeSystemSleepBlocker();
  EXPECT_TRUE(blocker->Available());
  EXPECT_TRUE(blocker->IsOnMainsPower());
  EXPECT_TRUE(blocker->Block());
  EXPECT_TRUE(blocker->Blocking());
  blocker->Release();
  EXPECT_FALSE(blocker->Blocking());
  // PowerOff is not called: under Wine it would end the prefix's session.
}

TEST(Trash, EmptyingTheRecycleBinReachesWinesTrash) {
  std::string host_file = test::Env("ND_TEST_TRASH_FILE");
  if (host_file.empty()) GTEST_SKIP() << "run through run-platform-tests";
  // Wine reaches host paths below \\?\unix even without a Z: drive.
  std::string path = "\\\\?\\unix" + host_file;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  ASSERT_TRUE(IsRegularFile(path)) << path;
  EmptyTrash();
  EXPECT_FALSE(PathExists(path));
}

}  // namespace
}  // namespace nd::platform
