// The shipped translations: each one complete, in the code page its CHARSET names, picked by the
// first start from the user's locale, and clean in the translators' report.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "engine_test_support.h"
#include "localisation/charset.h"
#include "localisation/ini_file.h"
#include "localisation/language_selection.h"
#include "localisation/translation_report.h"
#include "platform/text_encoding.h"
#include "system/settings_keys.h"

namespace nd {
namespace {

const std::string kShipped = std::string(ND_SOURCE_RESOURCES) + "/Languages";

// The character set each language is written for; every other shipped language is Western.
const std::map<std::string, int> kCharsets{
    {"Russian", 204},  {"Polish", 238}, {"Turkish", 162}, {"Arabic", 178},
    {"Japanese", 128}, {"Korean", 129}, {"Chinese", 134},
};

// The languages of the country table, each with a first letter of its own script: a file
// saved in the wrong code page decodes to another script, or to nothing valid at all.
const std::map<std::string, std::pair<char32_t, char32_t>> kScripts{
    {"Russian", {0x0400, 0x04FF}},                                  // Cyrillic
    {"Arabic", {0x0600, 0x06FF}},  {"Japanese", {0x3040, 0x30FF}},  // kana
    {"Korean", {0xAC00, 0xD7A3}},                                   // Hangul syllables
    {"Chinese", {0x4E00, 0x9FFF}},                                  // CJK ideographs
};

std::vector<std::string> LanguageNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kShipped)) {
    if (entry.path().extension() == ".ini") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Every section and key of English.ini, in file order.
std::vector<std::pair<std::string, std::string>> EnglishKeys() {
  std::vector<std::pair<std::string, std::string>> keys;
  std::string section;
  std::string contents = test::ReadFile(kShipped + "/English.ini");
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with('[')) {
      section = line.substr(1, line.find(']') - 1);
    } else if (size_t eq = line.find('='); eq != std::string::npos) {
      keys.emplace_back(section, line.substr(0, eq));
    }
    start = end + 1;
  }
  return keys;
}

std::u32string Utf32(const std::string& utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    out.push_back(code);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

// Whether the bytes read as UTF-8 with at least one character beyond ASCII: a file saved that
// way decodes in a single-byte code page without an invalid byte, as nonsense.
bool LooksLikeUtf8(const std::string& bytes) {
  bool beyond_ascii = false;
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    beyond_ascii = beyond_ascii || length > 1;
    i += length;
  }
  return beyond_ascii;
}

TEST(ShippedLanguages, TheCountryTableFindsAFileForEveryCountry) {
  std::vector<std::string> names = LanguageNames();
  EXPECT_EQ(names.size(), 18u);
  for (const char* country :
       {"Russia", "France", "Spain", "Indonesia", "Netherlands", "Germany",
        "People's Republic of China", "Italy", "Saudi Arabia", "Egypt", "Norway", "Korea", "Brazil",
        "Portugal", "Turkey", "Japan", "Sweden", "Finland", "Poland"}) {
    EXPECT_NE(LanguageForCountry(country, kShipped), "English") << country;
  }
  for (const std::string& name : names) {
    EXPECT_TRUE(std::filesystem::exists(kShipped + "/" + name + ".jpg")) << name << " has no flag";
  }
}

TEST(ShippedLanguages, EveryFileHasEveryTextValidInTheCodePageOfItsCharset) {
  const auto english = EnglishKeys();
  ASSERT_GT(english.size(), 100u);
  for (const std::string& name : LanguageNames()) {
    SCOPED_TRACE(name);
    const std::string contents = test::ReadFile(kShipped + "/" + name + ".ini");
    const int charset = CharsetFromText(FindIniValue(contents, "CHARSET", "CHARSET"));
    auto expected = kCharsets.find(name);
    EXPECT_EQ(charset, expected == kCharsets.end() ? 0 : expected->second);

    EXPECT_FALSE(LooksLikeUtf8(contents)) << "saved as UTF-8";
    // Invalid bytes decode to U+FFFD; no translation uses that character itself.
    const std::string text = platform::CodePageToUtf8(contents, CodePageOfCharset(charset));
    EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos) << "bytes invalid in the code page";

    for (const auto& [section, key] : english) {
      const std::string value = FindIniValue(contents, section, key);
      EXPECT_FALSE(value.empty()) << section << " / " << key << " is missing or empty";
      // The reader cuts longer texts at this length.
      EXPECT_LT(value.size(), kMaxIniValueBytes) << section << " / " << key << " is too long";
    }

    if (auto script = kScripts.find(name); script != kScripts.end()) {
      const std::u32string letters = Utf32(text);
      const auto [low, high] = script->second;
      EXPECT_TRUE(std::any_of(letters.begin(), letters.end(), [&](char32_t c) {
        return c >= low && c <= high;
      })) << "no letter of the language's script";
    }
  }
}

TEST(ShippedLanguages, TranslatorsReportListsNothingMissing) {
  std::vector<std::string> files;
  for (const std::string& name : LanguageNames()) files.push_back(name + ".ini");
  const std::string report = TranslationReportText(kShipped, files);
  size_t start = 0;
  int headers = 0;
  while (start < report.size()) {
    size_t end = report.find("\r\n", start);
    std::string line = report.substr(start, end - start);
    if (line.starts_with("=================")) {
      ++headers;
    } else {
      EXPECT_EQ(line, "") << "missing: " << line;
    }
    start = end + 2;
  }
  EXPECT_EQ(headers, 17);
}

// The POSIX locale variables; Windows asks GetLocaleInfo for the country.
#ifndef _WIN32
// The first start of the program under a user's locale, with the shipped languages installed.
TEST(ShippedLanguages, FirstStartTakesTheLanguageOfTheLocale) {
  for (const auto& [locale, language, charset] :
       std::vector<std::tuple<std::string, std::string, int>>{{"de_DE.UTF-8", "German", 0},
                                                              {"pt_BR", "Portuguese", 0},
                                                              {"ko_KR.UTF-8", "Korean", 129},
                                                              {"ar_EG.UTF-8", "Arabic", 178},
                                                              {"en_US.UTF-8", "English", 0}}) {
    SCOPED_TRACE(locale);
    test::ScratchFolder scratch;
    Context context = test::ScratchContext(scratch);
    context.env.program_folder = scratch / "program";
    std::filesystem::create_directories(context.env.program_folder);
    test::CopyFolder(kShipped, context.env.program_folder + "/Languages");
    context.language = LanguageState{};
    test::ScopedEnv all("LC_ALL", "");
    test::ScopedEnv messages("LC_MESSAGES", "");
    test::ScopedEnv lang("LANG", locale);
    ui::ScriptedHost host;

    ASSERT_TRUE(InitLanguage(context, host));
    EXPECT_EQ(Get(context.settings, settings::kLanguage), language);
    EXPECT_EQ(context.language.current_language, language);
    EXPECT_EQ(context.language.charset, charset);
    EXPECT_TRUE(host.MsgBoxes().empty());
  }
}
#endif  // _WIN32

}  // namespace
}  // namespace nd
