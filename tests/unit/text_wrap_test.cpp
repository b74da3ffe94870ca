// Line breaking of label texts, measured in characters: every code point is one unit wide.
#include "ui/text_wrap.h"

#include <gtest/gtest.h>

namespace nd::ui {
namespace {

int Characters(std::string_view utf8) {
  int count = 0;
  for (unsigned char c : utf8) count += (c & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

std::string Wrap(std::string_view text, int width) { return WrapText(text, width, Characters); }

TEST(TextWrap, WordsBreakAtBlanksWhichTheBreakDrops) {
  EXPECT_EQ(Wrap("Stop ends the current step", 12), "Stop ends\nthe current\nstep");
  EXPECT_EQ(Wrap("short", 12), "short");
  EXPECT_EQ(Wrap("", 12), "");
  // A word too long for any line keeps a line of its own instead of being cut.
  EXPECT_EQ(Wrap("a Gutmann-like pass", 6), "a\nGutmann-like\npass");
  // Line feeds of the text stay; each paragraph wraps on its own.
  EXPECT_EQ(Wrap("one two three\nfour", 8), "one two\nthree\nfour");
  // Cyrillic and Hangul are written with blanks: they break only there.
  EXPECT_EQ(Wrap("Выберите диски для очистки", 16), "Выберите диски\nдля очистки");
  EXPECT_EQ(Wrap("정리할 디스크를 선택하십시오", 10), "정리할 디스크를\n선택하십시오");
}

TEST(TextWrap, ChineseAndJapaneseBreakBetweenCharactersButNotAtPunctuation) {
  EXPECT_EQ(Wrap("回收站中的文件尚未删除", 4), "回收站中\n的文件尚\n未删除");
  // No line starts with a full stop or a comma: the character before moves down with it.
  EXPECT_EQ(Wrap("一二三。四五", 3), "一二\n三。四\n五");
  EXPECT_EQ(Wrap("ごみ箱、完了", 3), "ごみ\n箱、完\n了");
  // No line ends with an opening bracket.
  EXPECT_EQ(Wrap("一二「三四」", 3), "一二\n「三\n四」");
  // Latin words inside stay whole, and break from the characters around them.
  EXPECT_EQ(Wrap("これはNulldriftです", 8), "これは\nNulldrift\nです");
}

}  // namespace
}  // namespace nd::ui
