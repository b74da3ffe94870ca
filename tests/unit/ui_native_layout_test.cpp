// What the Windows binding takes from the model without a window: pixels from twips at the
// screen's DPI, the report list's column widths, and the fonts' character sets.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "ui/font_charset.h"
#include "ui/form_model.h"
#include "ui/pixel_layout.h"

namespace nd::ui {
namespace {

TEST(PixelLayout, FifteenTwipsArePixelAt96DpiAndScaleWithTheScreen) {
  EXPECT_EQ(PixelsFromTwips(10800, 96), 720);
  EXPECT_EQ(PixelsFromTwips(8100, 96), 540);
  EXPECT_EQ(PixelsFromTwips(10800, 120), 900);
  EXPECT_EQ(PixelsFromTwips(10800, 144), 1080);
  // Rounded, not cut off: 22 twips are nearer to 1 pixel than to 2, 23 nearer to 2.
  EXPECT_EQ(PixelsFromTwips(22, 96), 1);
  EXPECT_EQ(PixelsFromTwips(23, 96), 2);
  // A screen that reports no DPI is taken as the standard one.
  EXPECT_EQ(PixelsFromTwips(1500, 0), 100);
}

TEST(PixelLayout, ColumnsThatOverrunTheListGiveUpTheDifferenceFromTheLast) {
  // The run history's shares of a 600-pixel list: 25 % 25 % 50 %.
  const std::vector<ListColumn> columns{{"Date", 2250}, {"Disk", 2250}, {"Result", 4500}};
  EXPECT_EQ(ColumnPixelWidths(columns, 600, 96), (std::vector<int>{150, 150, 300}));
  // The border and a vertical scroll bar take 20 pixels: only the last column narrows.
  EXPECT_EQ(ColumnPixelWidths(columns, 580, 96), (std::vector<int>{150, 150, 280}));
  // A list narrower than the last column: the one before it gives up the rest.
  const std::vector<int> narrow = ColumnPixelWidths(columns, 200, 96);
  EXPECT_EQ(narrow, (std::vector<int>{150, 50, 0}));
  EXPECT_EQ(std::accumulate(narrow.begin(), narrow.end(), 0), 200);
  // Columns that fit keep their widths, at any DPI.
  EXPECT_EQ(ColumnPixelWidths(columns, 1000, 120), (std::vector<int>{188, 188, 375}));
  EXPECT_EQ(ColumnPixelWidths({}, 100, 96), std::vector<int>{});
}

TEST(FontCharset, NumbersBeyondAByteGetTheDefaultSet) {
  EXPECT_EQ(FontCharsetByte(204), 204);
  EXPECT_EQ(FontCharsetByte(0), 0);
  EXPECT_EQ(FontCharsetByte(255), 255);
  // 460 would otherwise become 204 (Cyrillic) through its low byte.
  EXPECT_EQ(FontCharsetByte(460), 1);
  EXPECT_EQ(FontCharsetByte(-52), 1);
  EXPECT_TRUE(ReadsRightToLeft(178));
  EXPECT_TRUE(ReadsRightToLeft(177));
  EXPECT_FALSE(ReadsRightToLeft(204));
  EXPECT_FALSE(ReadsRightToLeft(1));
}

struct LanguageWindow : Form {
  LanguageWindow() : Form("LanguageWindow") {}
  Label Label1{*this, "Label1"};
  Label Label2{*this, "Label2"};
  Label Label3{*this, "Label3"};
  CommandButton Command1{*this, "Command1"};
};

TEST(FontCharset, ControlsLeftAtTheDefaultShowTheirWindowsLanguage) {
  LanguageWindow window;
  EXPECT_EQ(WindowCharset(window), kDefaultFontCharset);
  window.Label1.SetFontCharset(128);
  window.Label2.SetFontCharset(128);
  // A control given a set of its own keeps it and does not outvote the language.
  window.Label3.SetFontCharset(0);
  EXPECT_EQ(WindowCharset(window), 128);
  EXPECT_EQ(ShownCharset(window.Command1.FontCharset(), WindowCharset(window)), 128);
  EXPECT_EQ(ShownCharset(window.Label3.FontCharset(), WindowCharset(window)), 0);
}

}  // namespace
}  // namespace nd::ui
