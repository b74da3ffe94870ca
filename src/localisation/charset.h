// The CHARSET number of a language file: how it is read from the file's text, and which code
// page the file's texts are written in.
#pragma once

#include <cstdint>
#include <string_view>

namespace nd {

// The character set a window uses when the language file names none.
inline constexpr int16_t kDefaultCharset = 1;

// The integer part of `text` when it is a number (blanks around it allowed) that fits the
// 16-bit range; kDefaultCharset otherwise.
int16_t CharsetFromText(std::string_view text);

// The Windows code page that belongs to a font character-set number (0 -> 1252, 204 -> 1251,
// 128 -> 932, ...). Unknown numbers are read as Western, 1252.
int CodePageOfCharset(int charset);

}  // namespace nd
