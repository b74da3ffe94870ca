// The display texts of the program: looked up by section and key in the active language's
// file, falling back to English, converted from the file's code page to UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "localisation/charset.h"

namespace nd {

// The language state of the process, fixed at start-up.
struct LanguageState {
  std::string current_language;  // "English", "Russian", ...: the file name without ".ini"
  std::string languages_folder;  // program folder + "/Languages"
  int16_t charset = kDefaultCharset;
};

std::string LanguageFilePath(const LanguageState& state, std::string_view language);

// The text of `key` in one language file, converted to UTF-8 by `charset`'s code page.
std::string ReadIniText(std::string_view section, std::string_view key, const std::string& path,
                        int charset);

// Never empty: the active language's text, else English's, else the text
// "<language> error, text not found: <section>, <key>". Files are read anew on every call.
std::string LookupText(const LanguageState& state, std::string_view section, std::string_view key);

// The character set of the active language: its CHARSET entry (English's when it has none),
// or the default when that is no number.
int16_t LanguageCharsetOf(const LanguageState& state);

// Handlers look texts up through this small handle on the process's language state.
class Texts {
 public:
  explicit Texts(const LanguageState& state) : state_(state) {}
  std::string operator()(std::string_view section, std::string_view key) const {
    return LookupText(state_, section, key);
  }
  const LanguageState& state() const { return state_; }

 private:
  const LanguageState& state_;
};

}  // namespace nd
