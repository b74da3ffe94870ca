#include "system/scramble.h"

#include <gtest/gtest.h>

#include <set>

#include "system/settings_keys.h"

namespace nd {
namespace {

RandomFraction Always(double value) {
  return [value] { return value; };
}

size_t CountNumbers(const std::string& data) {
  return static_cast<size_t>(std::count(data.begin(), data.end(), '|')) + 1;
}

TEST(Scramble, StoredFormIsSaltedNumbersThenFillers) {
  // salt 127; length 1+127; key sum 113 ('q') + 127; '2' (50) + 'q' + 127; then 6 fillers.
  EXPECT_EQ(ScrambleText("2", "q", Always(0.5)), "127|128|240|290|200|200|200|200|200|200");
  EXPECT_EQ(UnscrambleText("127|128|240|290|200|200|200|200|200|200", "q"), "2");
}

TEST(Scramble, RoundTripsWithAnyKeyAndText) {
  for (std::string key : {"q", "key", "zz"}) {
    for (std::string text : {"1", "5", "hello world", "", "\xff\x01"}) {
      EXPECT_EQ(UnscrambleText(ScrambleText(text, key), key), text) << key << "/" << text;
    }
  }
}

TEST(Scramble, SameDigitIsStoredDifferentlyEachTime) {
  std::set<std::string> stored;
  for (int i = 0; i < 20; ++i) {
    std::string data = ScrambleText("3", settings::kMethodScrambleKey);
    EXPECT_EQ(UnscrambleText(data, settings::kMethodScrambleKey), "3");
    stored.insert(data);
  }
  EXPECT_GT(stored.size(), 1u);
}

TEST(Scramble, OneDigitWithOneLetterKeyGivesFiveToFourteenNumbers) {
  EXPECT_EQ(CountNumbers(ScrambleText("4", "q", Always(0.0))), 5u);
  EXPECT_EQ(CountNumbers(ScrambleText("4", "q", Always(0.99999))), 14u);
  for (int i = 0; i < 200; ++i) {
    size_t n = CountNumbers(ScrambleText("4", "q"));
    EXPECT_GE(n, 5u);
    EXPECT_LE(n, 14u);
  }
}

TEST(Unscramble, RejectsOrCutsDamagedData) {
  const std::string good = ScrambleText("12", "q", Always(0.3));
  EXPECT_EQ(UnscrambleText(good, "q"), "12");
  EXPECT_EQ(UnscrambleText(good, "r"), "");  // another key fails the key-sum test
  EXPECT_EQ(UnscrambleText(good, ""), "");
  EXPECT_EQ(UnscrambleText("", "q"), "");
  EXPECT_EQ(UnscrambleText("76|77", "q"), "");  // fewer than three parts

  // Cut off after the first character: what was decoded so far.
  EXPECT_EQ(good.substr(0, 14), "76|78|189|238|");
  EXPECT_EQ(UnscrambleText("76|78|189|238", "q"), "1");

  // A part that is no number, or gives no character, ends the decoding.
  EXPECT_EQ(UnscrambleText("0|2|113|162|x", "q"), "1");
  EXPECT_EQ(UnscrambleText("0|2|113|162|9999", "q"), "1");
  EXPECT_EQ(UnscrambleText("0|2|113|-5", "q"), "");
  EXPECT_EQ(UnscrambleText("a|2|113|162", "q"), "");
  // Absurd numbers are refused instead of overflowing.
  EXPECT_EQ(UnscrambleText("-9223372036854775807|1|9223372036854775807|1", "q"), "");
  EXPECT_EQ(UnscrambleText("0|9223372036854775807|113|162", "q"), "");
}

}  // namespace
}  // namespace nd
