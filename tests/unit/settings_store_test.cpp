#include "system/settings_store.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "platform/files.h"
#include "platform/os_environment.h"
#include "platform/paths.h"
#include "system/settings_keys.h"
#include "test_support.h"

namespace nd {
namespace {

using test::ReadFile;
using test::ScratchFolder;
using test::WriteFile;

class SettingsStoreTest : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  // Blanks and non-ASCII letters in the path must not matter.
  SettingsStore store{scratch / "Conf ig/Nülldrift"};
};

TEST_F(SettingsStoreTest, FreshStoreReadsEmptyEverywhere) {
  EXPECT_EQ(Get(store, settings::kLanguage), "");
  EXPECT_EQ(store.Get("NDRF", "DiskSelection", "D"), "");
  EXPECT_FALSE(std::filesystem::exists(store.folder()));
}

TEST_F(SettingsStoreTest, ValuesRoundTripExactlyWithCaseAndOddCharacters) {
  const std::string odd[] = {"",
                             " leading and trailing ",
                             "a=b=c",
                             "back\\slash\\n",
                             "line\r\nbreak",
                             "[not a section]",
                             "Grüße 日本",
                             std::string("nul\0byte", 8),
                             "\x01\x7f\xff"};
  int i = 0;
  for (const std::string& value : odd) {
    std::string key = "Key " + std::to_string(i++);
    ASSERT_TRUE(store.Save(kAppNdrf, "Recent Update", key, value));
    EXPECT_EQ(store.Get(kAppNdrf, "Recent Update", key), value) << key;
  }
  // Names are compared exactly, with case.
  ASSERT_TRUE(store.Save(kAppNdrf, "NTFSMODE", "VALUE", "2"));
  EXPECT_EQ(store.Get(kAppNdrf, "NTFSMODE", "Value"), "");
  EXPECT_EQ(store.Get(kAppNdrf, "ntfsmode", "VALUE"), "");
  // Keys and sections with the characters of the file format survive too.
  ASSERT_TRUE(store.Save(kAppNdrf, "odd]section", "[odd=key", "v"));
  EXPECT_EQ(store.Get(kAppNdrf, "odd]section", "[odd=key"), "v");
}

TEST_F(SettingsStoreTest, SavingEmptyTextKeepsTheKeyWithAnEmptyValue) {
  ASSERT_TRUE(Save(store, settings::kPlaySound, "NO"));
  ASSERT_TRUE(Save(store, settings::kPlaySound, ""));
  EXPECT_EQ(Get(store, settings::kPlaySound), "");
  EXPECT_NE(ReadFile(store.FileOf(kAppNdrf)).find("PlaySound=\r\n"), std::string::npos);
}

TEST_F(SettingsStoreTest, ApplicationsAreSeparateFiles) {
  ASSERT_TRUE(Save(store, settings::kReloadMonth, "12"));
  ASSERT_TRUE(store.Save(kAppNdrf, "NDRF", "Reload-Month", "3"));
  EXPECT_EQ(Get(store, settings::kReloadMonth), "12");
  EXPECT_EQ(store.Get(kAppNdrf, "NDRF", "Reload-Month"), "3");
  EXPECT_TRUE(std::filesystem::exists(test::Utf8Path(store.folder() + "/KX.ini")));
  EXPECT_TRUE(std::filesystem::exists(test::Utf8Path(store.folder() + "/NDRF.ini")));
}

TEST_F(SettingsStoreTest, ApplicationNamesThatAreNoPlainFileNamesAreRefused) {
  for (std::string_view app : {"../escape", "a/b", "", "NDRF.ini"}) {
    EXPECT_FALSE(store.Save(app, "S", "K", "V")) << app;
    EXPECT_EQ(store.Get(app, "S", "K"), "") << app;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "escape.ini"));
}

TEST_F(SettingsStoreTest, DamagedFileIsReadAsFarAsPossibleAndCleanedByTheNextSave) {
  std::string garbage = "garbage line without equals\r\n";
  garbage += std::string("\x00\xff\xfe binary\x01=\x02", 14) + "\n";
  garbage += "[Settings]\r\nLanguage=Russian\r\nPlaySound=NO\r\n";
  garbage += "[Broken\r\nCIP=YES\r\n";  // a header without "]": its entries are not credited
  garbage += "[EmptyBin]\nValue=YES\n";
  garbage += "[Huge]\nLine=" + std::string(10 * 1024 * 1024, 'x') + "\n";
  garbage += "[DiskSelection]\r\nD=YES";  // no final line break
  WriteFile(store.FileOf(kAppNdrf), garbage);

  EXPECT_EQ(Get(store, settings::kLanguage), "Russian");
  EXPECT_EQ(Get(store, settings::kPlaySound), "NO");
  EXPECT_EQ(Get(store, settings::kCip), "");
  EXPECT_EQ(Get(store, settings::kEmptyBin), "YES");
  EXPECT_EQ(store.Get(kAppNdrf, "DiskSelection", "D"), "YES");

  ASSERT_TRUE(Save(store, settings::kSecurityWay, "7"));
  std::string clean = ReadFile(store.FileOf(kAppNdrf));
  EXPECT_EQ(clean.find("garbage"), std::string::npos);
  EXPECT_EQ(clean.find("[Broken"), std::string::npos);
  EXPECT_EQ(Get(store, settings::kLanguage), "Russian");
  EXPECT_EQ(Get(store, settings::kEmptyBin), "YES");
  EXPECT_EQ(store.Get(kAppNdrf, "DiskSelection", "D"), "YES");
  EXPECT_EQ(store.Get(kAppNdrf, "Huge", "Line").size(), 10u * 1024 * 1024);
  EXPECT_EQ(Get(store, settings::kSecurityWay), "7");
}

TEST_F(SettingsStoreTest, UnreadableStoreReadsEmptyAndNeverCrashes) {
  // A folder where the file should be cannot be read nor replaced.
  std::filesystem::create_directories(test::Utf8Path(store.FileOf(kAppNdrf)));
  EXPECT_EQ(Get(store, settings::kLanguage), "");
  EXPECT_FALSE(Save(store, settings::kLanguage, "German"));
  EXPECT_TRUE(std::filesystem::is_directory(test::Utf8Path(store.FileOf(kAppNdrf))));
}

// Modes of files, fork and waitpid: POSIX only.
#ifndef _WIN32
TEST_F(SettingsStoreTest, UnreadableFileForAnOrdinaryUser) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their permissions";
  ASSERT_TRUE(Save(store, settings::kLanguage, "German"));
  std::filesystem::permissions(store.FileOf(kAppNdrf), std::filesystem::perms::none);
  EXPECT_EQ(Get(store, settings::kLanguage), "");
  EXPECT_TRUE(Save(store, settings::kPlaySound, "NO"));
  EXPECT_EQ(Get(store, settings::kPlaySound), "NO");
}

TEST_F(SettingsStoreTest, CrashBetweenWriteAndRenameKeepsTheStoredChoices) {
  ASSERT_TRUE(Save(store, settings::kLanguage, "German"));
  ASSERT_TRUE(Save(store, settings::kEmptyBin, "YES"));
  const std::string file = store.FileOf(kAppNdrf);

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The new contents are written and flushed, then the process dies before the rename.
    platform::AtomicFileWriter writer(file);
    bool ok = writer.Begin() && writer.Write("[Settings]\r\nLanguage=Fre");
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);

  EXPECT_EQ(Get(store, settings::kLanguage), "German");
  EXPECT_EQ(Get(store, settings::kEmptyBin), "YES");

  // The next save goes through, keeps everything and clears the dead writer's leftover.
  ASSERT_TRUE(Save(store, settings::kPlaySound, "NO"));
  EXPECT_EQ(Get(store, settings::kLanguage), "German");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(store.folder())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(SettingsStoreTest, ConcurrentSavesFromSeveralProcessesLoseNoKey) {
  constexpr int kProcesses = 4;
  constexpr int kKeysEach = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SettingsStore own(store.folder());
      bool ok = true;
      for (int k = 0; k < kKeysEach; ++k) {
        ok = own.Save(kAppNdrf, "Statistics", std::to_string(p) + "-" + std::to_string(k), "1") &&
             ok;
      }
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  for (int p = 0; p < kProcesses; ++p) {
    for (int k = 0; k < kKeysEach; ++k) {
      EXPECT_EQ(store.Get(kAppNdrf, "Statistics", std::to_string(p) + "-" + std::to_string(k)),
                "1");
    }
  }
}

#endif  // _WIN32

#ifdef _WIN32
TEST(SettingsStoreLocation, TheUsersRegistryKey) {
  const SettingsStore store = SettingsStore::ForCurrentUser();
  EXPECT_EQ(store.RegistryKeyOf(kAppNdrf), "HKEY_CURRENT_USER\\Software\\Nulldrift\\NDRF");
  EXPECT_EQ(store.RegistryKeyOf("a\\b"), "");
  EXPECT_EQ(store.FileOf(kAppNdrf), "");
}
#else
TEST(SettingsStoreLocation, FollowsTheUsersConfigurationFolder) {
  ScratchFolder scratch;
  {
    test::ScopedEnv config("XDG_CONFIG_HOME", scratch / "cfg");
    EXPECT_EQ(SettingsStore::ForCurrentUser().folder(), scratch / "cfg/Nulldrift");
  }
  test::ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  test::ScopedEnv home("HOME", scratch.path());
  EXPECT_EQ(SettingsStore::ForCurrentUser().folder(), scratch / ".config/Nulldrift");
}
#endif  // _WIN32

}  // namespace
}  // namespace nd
