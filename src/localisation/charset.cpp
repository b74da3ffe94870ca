#include "localisation/charset.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace nd {

int16_t CharsetFromText(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  if (first == std::string_view::npos) return kDefaultCharset;
  std::string number(text.substr(first, last - first + 1));
  // Hexadecimal, infinities and NaN are numbers to strtod but not to a CHARSET reader.
  if (number.find_first_not_of("0123456789+-.eE") != std::string::npos) return kDefaultCharset;
  char* end = nullptr;
  double value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !std::isfinite(value)) return kDefaultCharset;
  double whole = std::trunc(value);
  if (whole < INT16_MIN || whole > INT16_MAX) return kDefaultCharset;
  return static_cast<int16_t>(whole);
}

int CodePageOfCharset(int charset) {
  switch (charset) {
    case 204:
      return 1251;  // Cyrillic
    case 238:
      return 1250;  // Central European
    case 161:
      return 1253;  // Greek
    case 162:
      return 1254;  // Turkish
    case 177:
      return 1255;  // Hebrew
    case 178:
      return 1256;  // Arabic
    case 186:
      return 1257;  // Baltic
    case 222:
      return 874;  // Thai
    case 128:
      return 932;  // Japanese
    case 129:
      return 949;  // Korean
    case 134:
      return 936;  // Simplified Chinese
    case 136:
      return 950;  // Traditional Chinese
    default:
      return 1252;  // Western (0), the default set (1) and anything unknown
  }
}

}  // namespace nd
