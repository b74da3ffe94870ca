// Code-page conversion through MultiByteToWideChar, one character at a time so that an
// invalid byte costs one U+FFFD and not the whole text.
#include <windows.h>

#include <string>

#include "platform/text_encoding.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Converts one character's bytes; nothing when the code page does not define them.
bool ConvertOne(UINT code_page, const char* bytes, int size, std::wstring& out) {
  wchar_t wide[4];
  int n = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, size, wide, 4);
  if (n <= 0) return false;
  out.append(wide, static_cast<size_t>(n));
  return true;
}

// Windows fills the holes of its single-byte code pages (0x81, 0x8D, 0x8F, 0x90 and 0x9D of
// 1252; more in 1253, 1255, 874) with the C1 control of the same number or a private-use
// character, even when asked to refuse invalid bytes. They stand for no character, and the
// Linux converter turns them into U+FFFD: so does this one, so that both show the same text.
bool UndefinedInSingleByte(unsigned char byte, wchar_t converted) {
  if (byte < 0x80) return false;
  return (converted >= 0x80 && converted <= 0x9F) || (converted >= 0xE000 && converted <= 0xF8FF);
}

}  // namespace

std::string CodePageToUtf8(std::string_view bytes, int code_page) {
  UINT cp = code_page > 0 ? static_cast<UINT>(code_page) : 1252;
  CPINFO info{};
  if (!::IsValidCodePage(cp) || !::GetCPInfo(cp, &info) || info.MaxCharSize > 2) {
    cp = 1252;
    ::GetCPInfo(cp, &info);
  }
  const bool double_byte = info.MaxCharSize == 2;
  std::wstring wide;
  wide.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (double_byte && ::IsDBCSLeadByteEx(cp, byte)) {
      // A lead byte cut off at the end, or a pair the code page does not define: one U+FFFD
      // for the lead byte, and the next byte is read afresh, as iconv does.
      if (i + 1 < bytes.size() && ConvertOne(cp, bytes.data() + i, 2, wide)) {
        i += 2;
      } else {
        wide.push_back(kReplacement);
        ++i;
      }
      continue;
    }
    size_t before = wide.size();
    if (!ConvertOne(cp, bytes.data() + i, 1, wide)) {
      wide.push_back(kReplacement);
    } else if (!double_byte && wide.size() == before + 1 &&
               UndefinedInSingleByte(byte, wide.back())) {
      wide.back() = kReplacement;
    }
    ++i;
  }
  return win::Narrow(wide);
}

}  // namespace nd::platform
