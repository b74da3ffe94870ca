#include "localisation/text_lookup.h"

#include "localisation/ini_file.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"

namespace nd {
namespace {

constexpr std::string_view kEnglish = "English";

}  // namespace

std::string LanguageFilePath(const LanguageState& state, std::string_view language) {
  return platform::JoinPath(state.languages_folder, std::string(language) + ".ini");
}

std::string ReadIniText(std::string_view section, std::string_view key, const std::string& path,
                        int charset) {
  std::string raw = ReadIniValue(section, key, path);
  return raw.empty() ? raw : platform::CodePageToUtf8(raw, CodePageOfCharset(charset));
}

std::string LookupText(const LanguageState& state, std::string_view section, std::string_view key) {
  std::string text =
      ReadIniText(section, key, LanguageFilePath(state, state.current_language), state.charset);
  if (!text.empty()) return text;

  // English texts are read in English's own code page, whatever the active language's is.
  std::string english;
  if (platform::ReadFileBytes(LanguageFilePath(state, kEnglish), english)) {
    std::string raw = FindIniValue(english, section, key);
    if (!raw.empty()) {
      int charset = CharsetFromText(FindIniValue(english, "CHARSET", "CHARSET"));
      return platform::CodePageToUtf8(raw, CodePageOfCharset(charset));
    }
  }

  return state.current_language + " error, text not found: " + std::string(section) + ", " +
         std::string(key);
}

int16_t LanguageCharsetOf(const LanguageState& state) {
  return CharsetFromText(LookupText(state, "CHARSET", "CHARSET"));
}

}  // namespace nd
