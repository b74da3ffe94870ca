// The path spelling of this platform: what the program's joined paths and file names look like.
#include "platform/paths.h"

#include <gtest/gtest.h>

namespace nd::platform {
namespace {

#ifdef _WIN32
TEST(PathsTest, JoiningPutsExactlyOneSeparatorBetween) {
  EXPECT_EQ(JoinPath("C:\\a\\", "b"), "C:\\a\\b");
  EXPECT_EQ(JoinPath("C:\\a", "b"), "C:\\a\\b");
  EXPECT_EQ(JoinPath("C:/a/", "b"), "C:/a/b");
  EXPECT_EQ(JoinPath("D:\\", "NDRF_temp"), "D:\\NDRF_temp");
  EXPECT_EQ(JoinPath("", "log.txt"), "log.txt");
}

TEST(PathsTest, LastPartAndFinalSeparator) {
  EXPECT_EQ(FileNameOf("C:\\Program Files\\Nulldrift 3\\Nulldrift.exe"), "Nulldrift.exe");
  EXPECT_EQ(FileNameOf("C:/Program Files/Nulldrift 3/Nulldrift.exe"), "Nulldrift.exe");
  EXPECT_EQ(FileNameOf("D:file.txt"), "file.txt");
  EXPECT_EQ(FileNameOf("nulldrift"), "nulldrift");
  EXPECT_EQ(FileNameOf("C:\\a\\"), "");
  EXPECT_EQ(WithoutFinalSeparator("C:\\Temp\\"), "C:\\Temp");
  EXPECT_EQ(WithoutFinalSeparator("C:\\Temp"), "C:\\Temp");
  EXPECT_EQ(WithoutFinalSeparator("C:\\"), "C:\\");  // a drive's root stays a root
  EXPECT_EQ(WithoutFinalSeparator("\\\\server\\share\\"), "\\\\server\\share");
  EXPECT_TRUE(IsAbsolutePath("C:\\Windows"));
  EXPECT_TRUE(IsAbsolutePath("d:/flags/de.png"));
  EXPECT_TRUE(IsAbsolutePath("\\\\server\\share\\x"));
  EXPECT_FALSE(IsAbsolutePath("C:relative"));  // relative to that drive's current folder
  EXPECT_FALSE(IsAbsolutePath("\\Windows"));   // relative to the current drive
  EXPECT_FALSE(IsAbsolutePath("flag-de"));
  EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(PathsTest, TextsBecomeSingleFileNames) {
  EXPECT_EQ(FileNameFromText("Check for updates"), "Check for updates");
  EXPECT_EQ(FileNameFromText("Web site / Home"), "Web site - Home");
  EXPECT_EQ(FileNameFromText("..\\x"), "..-x");
  // A colon would name a stream of the file, the others are refused by the file system.
  EXPECT_EQ(FileNameFromText("Update: now? <yes>|\"no\"*"), "Update- now- -yes---no--");
  EXPECT_EQ(FileNameFromText("tab\there"), "tab-here");
}

#else
TEST(PathsTest, JoiningPutsExactlyOneSeparatorBetween) {
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/", "NDRF_temp"), "/NDRF_temp");
  // An unknown folder must not turn the name into a path at the root.
  EXPECT_EQ(JoinPath("", "log.txt"), "log.txt");
}

TEST(PathsTest, LastPartAndFinalSeparator) {
  EXPECT_EQ(FileNameOf("/opt/Nulldrift 3/nulldrift"), "nulldrift");
  EXPECT_EQ(FileNameOf("nulldrift"), "nulldrift");
  EXPECT_EQ(FileNameOf("/a/"), "");
  EXPECT_EQ(WithoutFinalSeparator("/tmp/"), "/tmp");
  EXPECT_EQ(WithoutFinalSeparator("/tmp"), "/tmp");
  EXPECT_EQ(WithoutFinalSeparator("/"), "/");  // the root stays a root
  EXPECT_TRUE(IsAbsolutePath("/usr/share/flags/de.png"));
  EXPECT_FALSE(IsAbsolutePath("flag-de"));
  EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(PathsTest, TextsBecomeSingleFileNames) {
  EXPECT_EQ(FileNameFromText("Check for updates"), "Check for updates");
  EXPECT_EQ(FileNameFromText("Web site / Home"), "Web site - Home");
  EXPECT_EQ(FileNameFromText("../x"), "..-x");
}

#endif  // _WIN32

}  // namespace
}  // namespace nd::platform
