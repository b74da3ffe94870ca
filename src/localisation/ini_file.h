// Reading one entry of a language file, with the rules of the classic Windows profile reader.
#pragma once

#include <string>
#include <string_view>

namespace nd {

// The longest text an entry yields, in bytes of the file's code page; longer texts are cut.
inline constexpr size_t kMaxIniValueBytes = 749;

// Whether two texts are equal without regard to ASCII case, as section and key names compare.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The raw bytes (in the file's own code page) of `key` in `section` of the file at `path`.
// Section and key match without regard to ASCII case; the text is what follows the first
// "=", with blanks around it and one pair of enclosing quotes removed, cut after 749 bytes.
// Lines starting with ";" are comments. The first matching section and key count. Empty on
// any failure (no file, no section, no key).
std::string ReadIniValue(std::string_view section, std::string_view key, const std::string& path);

// The same lookup in a file's contents already in memory.
std::string FindIniValue(std::string_view contents, std::string_view section, std::string_view key);

}  // namespace nd
