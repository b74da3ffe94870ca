// The path spelling of this platform: what the program's joined paths and file names look like.
#include "platform/paths.h"

#include <gtest/gtest.h>

namespace nd::platform {
namespace {

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

}  // namespace
}  // namespace nd::platform
