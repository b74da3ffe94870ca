#include "ui/font_charset.h"

#include <map>

#include "ui/control.h"
#include "ui/form.h"

namespace nd::ui {

namespace {
constexpr int16_t kHebrewCharset = 177;
constexpr int16_t kArabicCharset = 178;
}  // namespace

uint8_t FontCharsetByte(int16_t charset) {
  if (charset < 0 || charset > 255) return static_cast<uint8_t>(kDefaultFontCharset);
  return static_cast<uint8_t>(charset);
}

int16_t WindowCharset(const Form& form) {
  std::map<int16_t, int> counts;
  for (const Control* control : form.Controls()) {
    if (control->FontCharset() != kDefaultFontCharset) ++counts[control->FontCharset()];
  }
  int16_t charset = kDefaultFontCharset;
  int most = 0;
  for (const auto& [candidate, count] : counts) {
    if (count > most) {
      charset = candidate;
      most = count;
    }
  }
  return charset;
}

int16_t ShownCharset(int16_t own, int16_t window) {
  return own == kDefaultFontCharset ? window : own;
}

bool ReadsRightToLeft(int16_t charset) {
  return charset == kHebrewCharset || charset == kArabicCharset;
}

}  // namespace nd::ui
