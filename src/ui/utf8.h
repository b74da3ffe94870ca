// Checking UTF-8 byte by byte: texts that come from outside (volume labels, mount points) may
// hold any bytes, and a toolkit that expects UTF-8 shows nothing at all for a broken text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nd::ui {

// The length of the well-formed UTF-8 character that starts at `at` (1 to 4), or 0 when the
// bytes there are not one: a stray continuation byte, a truncated or over-long sequence, a
// surrogate or a code point beyond U+10FFFF.
size_t Utf8CharLength(std::string_view text, size_t at);

// `text` with every byte that does not belong to a well-formed character replaced by U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view text);

}  // namespace nd::ui
