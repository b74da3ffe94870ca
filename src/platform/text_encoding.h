// Conversion of texts stored in a Windows code page (language files) to UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace nd::platform {

// Converts `bytes` from the Windows code page `code_page` (1252, 1251, 932, ...) to UTF-8.
// Never fails: bytes that are invalid in that code page, or a character cut off at the end,
// become U+FFFD and the conversion goes on; an unknown code page is read as 1252.
std::string CodePageToUtf8(std::string_view bytes, int code_page);

}  // namespace nd::platform
