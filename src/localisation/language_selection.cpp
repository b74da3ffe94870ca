#include "localisation/language_selection.h"

#include "platform/locale.h"
#include "platform/paths.h"
#include "system/settings_keys.h"

namespace nd {
namespace {

struct CountryRow {
  std::string_view country;
  std::string_view language;  // also the file's name without ".ini"
  bool contains = false;      // matches any country name that contains `country`
};

// Every row is tried and a later match wins, so the order matters where two rows could both
// match one name.
constexpr CountryRow kCountryTable[] = {
    {"Russia", "Russian"},
    {"France", "French"},
    {"Spain", "Spain"},
    {"Indonesia", "Indonesian"},
    {"Netherlands", "Dutch"},
    {"Germany", "German"},
    {"People's Republic of China", "Chinese"},
    {"Italy", "Italian"},
    {"Saudi Arabia", "Arabic"},
    {"Egypt", "Arabic"},
    {"Norway", "Norwegian"},
    // The system has spelled it "Korea", "South Korea" and "Republic of Korea".
    {"Korea", "Korean", true},
    {"Brazil", "Portuguese"},
    {"Portugal", "Portuguese"},
    {"Turkey", "Turkish"},
    {"Japan", "Japanese"},
    {"Sweden", "Swedish"},
    {"Finland", "Finnish"},
    {"Poland", "Polish"},
};

constexpr std::string_view kEnglish = "English";

}  // namespace

std::string GetUserCountry() { return platform::UserCountry(); }

std::string LanguageForCountry(std::string_view country, const std::string& languages_folder) {
  std::string language(kEnglish);
  for (const CountryRow& row : kCountryTable) {
    bool matches =
        row.contains ? country.find(row.country) != std::string_view::npos : country == row.country;
    if (matches &&
        FileExists(platform::JoinPath(languages_folder, std::string(row.language) + ".ini"))) {
      language = row.language;
    }
  }
  return language;
}

bool InitLanguage(Context& context, ui::Host& host) {
  LanguageState& language = context.language;
  const std::string folder = platform::JoinPath(context.env.program_folder, "Languages");
  if (!FolderExists(folder)) {
    host.MsgBox(ui::MsgBoxIcon::kCritical, "Languages not found! Reinstall program!",
                ui::MsgBoxButtons::kOk, kProductName);
    host.EndProcess(1);
    return false;
  }
  language.languages_folder = folder;

  std::string current = Get(context.settings, settings::kLanguage);
  if (!current.empty() && !FileExists(LanguageFilePath(language, current))) {
    host.MsgBox(ui::MsgBoxIcon::kCritical,
                "Language file " + current + " not found! Restart/reinstall program!",
                ui::MsgBoxButtons::kOk, kProductName);
    // The next start then comes up in English instead of failing again.
    Save(context.settings, settings::kLanguage, kEnglish);
    host.EndProcess(1);
    return false;
  }
  if (current.empty()) {
    current = LanguageForCountry(GetUserCountry(), folder);
    Save(context.settings, settings::kLanguage, current);
  }
  language.current_language = current;
  language.charset = LanguageCharsetOf(language);
  return true;
}

}  // namespace nd
