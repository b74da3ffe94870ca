#include "system/environment_probe.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>

#include "platform/paths.h"
#include "test_support.h"

namespace nd {
namespace {

using test::ScopedEnv;
using test::ScratchFolder;
using test::WriteFile;

TEST(VersionTextTest, MinorHasTwoDigits) {
  EXPECT_EQ(VersionText({2, 10}), "2.10");
  EXPECT_EQ(VersionText({2, 9}), "2.09");
  EXPECT_EQ(VersionText({2, 0}), "2.00");
  EXPECT_EQ(VersionText({3, 52}), "3.52");
  EXPECT_EQ(VersionText(kProgramVersion), "3.00");
  EXPECT_EQ(DataFolderName(kProgramVersion), "NDRF3");
}

// The XDG folders and the POSIX temporary folder.
#ifndef _WIN32
class ProbeTest : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  // A user folder with blanks and non-ASCII letters, and no data folder yet.
  std::string data_home = scratch / "Dönnées de l'utilisateur";
  ScopedEnv data{"XDG_DATA_HOME", data_home};
  ScopedEnv config{"XDG_CONFIG_HOME", scratch / "config"};
  ScopedEnv home{"HOME", scratch / "home"};
  ScopedEnv tmp{"TMPDIR", std::nullopt};
};

TEST_F(ProbeTest, CreatesTheDataFolderAndFillsEveryValue) {
  Environment env = ProbeEnvironment();
  EXPECT_EQ(env.app_data_folder, data_home);
  EXPECT_EQ(env.data_folder, data_home + "/NDRF3");
  EXPECT_TRUE(std::filesystem::is_directory(env.data_folder));
  EXPECT_EQ(env.version_text, "3.00");
  EXPECT_EQ(env.system_drive_letter, "C");
  EXPECT_EQ(env.windows_folder, "");
  EXPECT_EQ(env.program_files_folder, "/opt");
  EXPECT_EQ(env.temp_folder, "/tmp");
  EXPECT_EQ(env.is_administrator, ::geteuid() == 0);
  EXPECT_GT(env.os_version, 0);
  EXPECT_TRUE(std::filesystem::exists(env.program_folder + "/unit_tests"));
  EXPECT_EQ(env.common_programs_folder,
            ::geteuid() == 0 ? "/usr/share/applications" : data_home + "/applications");
  EXPECT_EQ(env.common_desktop_folder, scratch / "home/Desktop");
  // Probing again finds the folder in place.
  EXPECT_EQ(ProbeEnvironment().data_folder, env.data_folder);
}

TEST_F(ProbeTest, RelativeXdgValuesAreIgnoredAndTheDesktopComesFromUserDirs) {
  ScopedEnv relative("XDG_DATA_HOME", "relative/path");
  WriteFile(scratch / "config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  Environment env = ProbeEnvironment();
  EXPECT_EQ(env.app_data_folder, scratch / "home/.local/share");
  EXPECT_EQ(env.data_folder, scratch / "home/.local/share/NDRF3");
  EXPECT_TRUE(std::filesystem::is_directory(env.data_folder));
  EXPECT_EQ(env.common_desktop_folder, scratch / "home/Schreibtisch");
}

TEST_F(ProbeTest, TempFolderIsTheLongFormWithoutFinalSeparator) {
  std::filesystem::create_directories(scratch / "real tmp");
  std::filesystem::create_directory_symlink(scratch / "real tmp", scratch / "link");
  ScopedEnv tmpdir("TMPDIR", scratch / "link/");
  EXPECT_EQ(ProbeEnvironment().temp_folder, scratch / "real tmp");
  EXPECT_EQ(TempFolderFrom(""), "/");
  EXPECT_EQ(TempFolderFrom("/no/such/folder/"), "/no/such/folder");
}

#else
// Windows names its folders itself: the shell's folders, the temporary folder of the session
// and the Windows folder, whose drive is the system drive.
TEST(ProbeTest, TheShellsFoldersAndTheWindowsFoldersDrive) {
  Environment env = ProbeEnvironment();
  ASSERT_FALSE(env.app_data_folder.empty());
  EXPECT_EQ(env.data_folder, platform::JoinPath(env.app_data_folder, "NDRF3"));
  EXPECT_TRUE(std::filesystem::is_directory(env.data_folder));
  ASSERT_GE(env.windows_folder.size(), 3u);
  EXPECT_EQ(env.windows_folder.substr(1, 2), ":\\");
  EXPECT_EQ(env.system_drive_letter, env.windows_folder.substr(0, 1));
  EXPECT_FALSE(env.program_files_folder.empty());
  EXPECT_FALSE(env.common_programs_folder.empty());
  EXPECT_FALSE(env.common_desktop_folder.empty());
  ASSERT_FALSE(env.temp_folder.empty());
  EXPECT_NE(env.temp_folder.back(), '\\');
  EXPECT_TRUE(std::filesystem::is_directory(env.temp_folder));
  EXPECT_GT(env.os_version, 0);
  EXPECT_TRUE(std::filesystem::exists(platform::JoinPath(env.program_folder, "unit_tests.exe")));
  EXPECT_EQ(ProbeEnvironment().data_folder, env.data_folder);
}
#endif  // _WIN32

TEST(ExistenceTests, FilesAndFoldersAreTellApartAndNothingThrows) {
  ScratchFolder scratch;
  const std::string file = platform::JoinPath(scratch / "ein Ordner", "Datei ü.txt");
  WriteFile(file, "x");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_TRUE(FolderExists(scratch / "ein Ordner"));
  EXPECT_FALSE(FileExists(scratch / "ein Ordner"));
  for (const std::string& bad :
       {std::string(), std::string("\0x", 2), std::string(5000, 'a'), scratch / "missing/deeper"}) {
    EXPECT_FALSE(FileExists(bad));
    EXPECT_FALSE(FolderExists(bad));
    EXPECT_EQ(ShortPathOf(bad), "");
    EXPECT_EQ(LongPathOf(bad), bad);
  }
#ifdef _WIN32
  // The short form, where the volume keeps one, leads back to the long one.
  const std::string short_form = ShortPathOf(file);
  ASSERT_FALSE(short_form.empty());
  EXPECT_EQ(LongPathOf(short_form), file);
#else
  EXPECT_EQ(ShortPathOf(file), file);
  EXPECT_EQ(LongPathOf(scratch / "ein Ordner/../ein Ordner/Datei ü.txt"), file);
#endif
}

}  // namespace
}  // namespace nd
