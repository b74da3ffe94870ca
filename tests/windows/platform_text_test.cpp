// Code pages to UTF-8 as the language files need it, and the drive list of NULLDRIFT_MOUNTS.
#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "platform/windows/mount_list.h"
#include "platform/windows/process_windows.h"

namespace nd::platform {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(CodePageToUtf8, TheFiveHolesOf1252BecomeReplacementCharacters) {
  // Windows would pass them through as C1 controls; Linux's converter says U+FFFD.
  for (char hole : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
    EXPECT_EQ(CodePageToUtf8(std::string("a") + hole + "b", 1252), "a" + kFffd + "b")
        << static_cast<int>(static_cast<unsigned char>(hole));
  }
  EXPECT_EQ(CodePageToUtf8("\x80\x9F\xE9\xFF", 1252), "\xE2\x82\xAC\xC5\xB8\xC3\xA9\xC3\xBF");
}

TEST(CodePageToUtf8, SingleByteCodePagesOtherThan1252) {
  EXPECT_EQ(CodePageToUtf8("\xCF\xF0\xE8", 1251), "\xD0\x9F\xD1\x80\xD0\xB8");  // При
  EXPECT_EQ(CodePageToUtf8("\x98", 1251), kFffd);  // the one hole of 1251
  EXPECT_EQ(CodePageToUtf8("plain ASCII\r\n", 1250), "plain ASCII\r\n");
}

TEST(CodePageToUtf8, DoubleByteCodePagesKeepPairsAndReplaceBrokenOnes) {
  EXPECT_EQ(CodePageToUtf8("\x93\xFA\x96\x7B", 932), "\xE6\x97\xA5\xE6\x9C\xAC");  // 日本
  // A lead byte at the very end has lost its second half.
  EXPECT_EQ(CodePageToUtf8("A\x93", 932), "A" + kFffd);
  EXPECT_EQ(CodePageToUtf8("\xC4\xE3", 936), "\xE4\xBD\xA0");  // 你
  EXPECT_EQ(CodePageToUtf8("\xB0\xA1", 949), "\xEA\xB0\x80");  // 가
}

TEST(CodePageToUtf8, UnknownCodePagesReadAs1252) {
  EXPECT_EQ(CodePageToUtf8("\xE9", 99999), "\xC3\xA9");
  EXPECT_EQ(CodePageToUtf8("\xE9", 0), "\xC3\xA9");
  EXPECT_EQ(CodePageToUtf8("", 1252), "");
}

TEST(DriveList, SemicolonsSeparateRootsBecauseColonsBelongToDrives) {
  auto roots = win::ParseDriveList("D:\\;e:;F;;G:/");
  ASSERT_TRUE(roots);
  EXPECT_EQ(*roots, (std::vector<std::string>{"D:\\", "E:\\", "F:\\", "G:\\"}));
  EXPECT_FALSE(win::ParseDriveList(""));
  // Mount points of the Linux form and other junk name no drive.
  auto junk = win::ParseDriveList("/mnt/a:/mnt/b;C:\\Windows;1:;D:\\");
  ASSERT_TRUE(junk);
  EXPECT_EQ(*junk, (std::vector<std::string>{"D:\\"}));
}

TEST(QuoteArgument, ArgumentsSurviveTheCommandLineParser) {
  using win::QuoteArgument;
  EXPECT_EQ(QuoteArgument(L"uninstall"), L"uninstall");
  EXPECT_EQ(QuoteArgument(L""), L"\"\"");
  EXPECT_EQ(QuoteArgument(L"C:\\Program Files\\Nulldrift 3\\"),
            L"\"C:\\Program Files\\Nulldrift 3\\\\\"");
  EXPECT_EQ(QuoteArgument(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
  EXPECT_EQ(QuoteArgument(L"a\\\\\"b c"), L"\"a\\\\\\\\\\\"b c\"");
}

}  // namespace
}  // namespace nd::platform
