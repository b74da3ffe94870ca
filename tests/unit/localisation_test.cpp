#include <gtest/gtest.h>

#include "localisation/charset.h"
#include "localisation/ini_file.h"
#include "localisation/text_lookup.h"
#include "platform/text_encoding.h"
#include "test_support.h"

namespace nd {
namespace {

using test::ScratchFolder;
using test::WriteFile;

class IniReaderTest : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  std::string Read(const std::string& contents, std::string_view section, std::string_view key) {
    WriteFile(scratch / "file.ini", contents);
    return ReadIniValue(section, key, scratch / "file.ini");
  }
};

TEST_F(IniReaderTest, MatchesSectionsAndKeysWithoutRegardToCase) {
  const std::string file = "[interface]\r\nLabel8=Welcome\r\nlabel9=Disks\r\n";
  EXPECT_EQ(Read(file, "INTERFACE", "LABEL8"), "Welcome");
  EXPECT_EQ(Read(file, "Interface", "label9"), "Disks");
  EXPECT_EQ(Read(file, "VERSION3", "LABEL8"), "");
  EXPECT_EQ(Read(file, "INTERFACE", "LABEL10"), "");
}

TEST_F(IniReaderTest, TextIsWhatFollowsTheFirstEqualsSign) {
  const std::string file =
      "; a comment=with equals\n[S]\nA=x=y=z\nB =  padded  \nC=\"quoted\"\nD=\nE\n"
      "F=\"one\" and \"two\"\n";
  EXPECT_EQ(Read(file, "S", "A"), "x=y=z");
  EXPECT_EQ(Read(file, "S", "B"), "padded");
  EXPECT_EQ(Read(file, "S", "C"), "quoted");
  EXPECT_EQ(Read(file, "S", "D"), "");
  EXPECT_EQ(Read(file, "S", "E"), "");
  EXPECT_EQ(Read(file, "S", "F"), "one\" and \"two");  // outer quotes go, as on Windows
}

TEST_F(IniReaderTest, FirstSectionAndFirstKeyWin) {
  const std::string file =
      "\xEF\xBB\xBF[S]\nK=first\nK=second\n[T]\nK=other\n[S]\nK=third\nL=late\n";
  EXPECT_EQ(Read(file, "S", "K"), "first");
  EXPECT_EQ(Read(file, "T", "K"), "other");
  EXPECT_EQ(Read(file, "S", "L"), "");
}

TEST_F(IniReaderTest, LongTextsAreCutAfter749Bytes) {
  const std::string text(800, 'a');
  EXPECT_EQ(Read("[S]\nK=" + text + "\n", "S", "K"), text.substr(0, 749));
  EXPECT_EQ(Read("[S]\nK=" + text.substr(0, 749), "S", "K").size(), 749u);
}

TEST_F(IniReaderTest, AnyFailureGivesTheEmptyText) {
  EXPECT_EQ(ReadIniValue("S", "K", scratch / "missing.ini"), "");
  EXPECT_EQ(ReadIniValue("S", "K", scratch.path()), "");  // a folder
  EXPECT_EQ(ReadIniValue("S", "K", ""), "");
  EXPECT_EQ(Read(std::string("\0\xff[S\n=\n[", 8), "S", ""), "");
}

TEST(Charset, OnlyNumbersInTheSixteenBitRangeCount) {
  EXPECT_EQ(CharsetFromText("204"), 204);
  EXPECT_EQ(CharsetFromText(" 238 "), 238);
  EXPECT_EQ(CharsetFromText("0"), 0);
  EXPECT_EQ(CharsetFromText("128.9"), 128);
  EXPECT_EQ(CharsetFromText("abc"), 1);
  EXPECT_EQ(CharsetFromText(""), 1);
  EXPECT_EQ(CharsetFromText("0x10"), 1);
  EXPECT_EQ(CharsetFromText("nan"), 1);
  EXPECT_EQ(CharsetFromText("70000"), 1);
  EXPECT_EQ(CharsetFromText("English error, text not found: CHARSET, CHARSET"), 1);
}

TEST(Charset, CodePagesConvertToUtf8AndNeverFail) {
  EXPECT_EQ(platform::CodePageToUtf8("\xcf\xf0\xe8\xe2\xe5\xf2", CodePageOfCharset(204)), "Привет");
  EXPECT_EQ(platform::CodePageToUtf8("Gr\xfc\xdf"
                                     "e",
                                     CodePageOfCharset(0)),
            "Grüße");
  EXPECT_EQ(platform::CodePageToUtf8("\x83\x65\x83\x58\x83\x67", CodePageOfCharset(128)), "テスト");
  EXPECT_EQ(platform::CodePageToUtf8("\xc7\xd1\xb1\xb9", CodePageOfCharset(129)), "한국");
  EXPECT_EQ(platform::CodePageToUtf8("\xd6\xd0\xce\xc4", CodePageOfCharset(134)), "中文");
  EXPECT_EQ(platform::CodePageToUtf8("\xe3\xf2", CodePageOfCharset(238)), "ăň");
  // Bytes the code page does not define, and a character cut off at the end.
  EXPECT_EQ(platform::CodePageToUtf8("a\x81"
                                     "b",
                                     1252),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(platform::CodePageToUtf8("ok\x83", 932), "ok\xEF\xBF\xBD");
  EXPECT_EQ(platform::CodePageToUtf8("x", 99999), "x");
  EXPECT_EQ(CodePageOfCharset(12345), 1252);
}

class LookupTest : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  LanguageState state{"German", scratch / "Sprachen und Flaggen", 1};

  void Language(const std::string& name, const std::string& contents) {
    WriteFile(LanguageFilePath(state, name), contents);
  }
  void SetUp() override {
    Language("English",
             "[CHARSET]\r\nCHARSET=0\r\n[INTERFACE]\r\nLABEL8=Welcome\r\nLABEL9=Caf\xe9\r\n"
             "COMMAND1=Next\r\n[VERSION3]\r\nMODE1=Quick\r\n");
  }
};

TEST_F(LookupTest, FallsBackToEnglishAndThenToTheErrorText) {
  Language("German", "[INTERFACE]\r\nLABEL8=Willkommen\r\nCOMMAND1=\r\n");
  EXPECT_EQ(LookupText(state, "INTERFACE", "LABEL8"), "Willkommen");
  EXPECT_EQ(LookupText(state, "VERSION3", "MODE1"), "Quick");     // only in English
  EXPECT_EQ(LookupText(state, "INTERFACE", "COMMAND1"), "Next");  // empty counts as missing
  EXPECT_EQ(LookupText(state, "VERSION3", "MAYBESLOW"),
            "German error, text not found: VERSION3, MAYBESLOW");
  EXPECT_EQ(LookupText(state, "version3", "maybeSlow"),
            "German error, text not found: version3, maybeSlow");
  state.current_language = "Klingon";  // no file at all
  EXPECT_EQ(LookupText(state, "INTERFACE", "LABEL8"), "Welcome");
}

TEST_F(LookupTest, EachFileIsReadInItsOwnCodePage) {
  Language("Russian",
           "[CHARSET]\r\nCHARSET=204\r\n[INTERFACE]\r\nLABEL8=\xc4\xee\xe1\xf0\xee "
           "\xef\xee\xe6\xe0\xeb\xee\xe2\xe0\xf2\xfc\r\n");
  state.current_language = "Russian";
  state.charset = LanguageCharsetOf(state);
  EXPECT_EQ(state.charset, 204);
  EXPECT_EQ(LookupText(state, "INTERFACE", "LABEL8"), "Добро пожаловать");
  // The English fallback is Western text, not Cyrillic.
  EXPECT_EQ(LookupText(state, "INTERFACE", "LABEL9"), "Café");
}

TEST_F(LookupTest, CharsetComesFromTheLanguageFileOrElseFromEnglish) {
  Language("German", "[INTERFACE]\r\nLABEL8=Willkommen\r\n");
  EXPECT_EQ(LanguageCharsetOf(state), 0);
  Language("German", "[CHARSET]\r\nCHARSET=abc\r\n");
  EXPECT_EQ(LanguageCharsetOf(state), 1);
  Language("German", "[CHARSET]\r\ncharset=238\r\n");
  EXPECT_EQ(LanguageCharsetOf(state), 238);
}

TEST_F(LookupTest, InvalidBytesComeBackConvertedAsFarAsPossible) {
  Language("Japanese", "[CHARSET]\r\nCHARSET=128\r\n[INTERFACE]\r\nLABEL8=\x83\x65\x83\r\n");
  state.current_language = "Japanese";
  state.charset = 128;
  EXPECT_EQ(LookupText(state, "INTERFACE", "LABEL8"), "テ\xEF\xBF\xBD");
}

}  // namespace
}  // namespace nd
