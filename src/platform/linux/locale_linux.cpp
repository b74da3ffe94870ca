#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/linux/locale_names.h"
#include "platform/locale.h"

namespace nd::platform {
namespace internal {
namespace {

// The names as the Windows country-name setting spells them, which is what the language table
// and the server compare against.
constexpr std::pair<std::string_view, std::string_view> kCountries[] = {
    {"AE", "U.A.E."},
    {"AL", "Albania"},
    {"AM", "Armenia"},
    {"AR", "Argentina"},
    {"AT", "Austria"},
    {"AU", "Australia"},
    {"AZ", "Azerbaijan"},
    {"BA", "Bosnia and Herzegovina"},
    {"BD", "Bangladesh"},
    {"BE", "Belgium"},
    {"BG", "Bulgaria"},
    {"BH", "Bahrain"},
    {"BN", "Brunei Darussalam"},
    {"BO", "Bolivia"},
    {"BR", "Brazil"},
    {"BY", "Belarus"},
    {"BZ", "Belize"},
    {"CA", "Canada"},
    {"CH", "Switzerland"},
    {"CL", "Chile"},
    {"CN", "People's Republic of China"},
    {"CO", "Colombia"},
    {"CR", "Costa Rica"},
    {"CY", "Cyprus"},
    {"CZ", "Czech Republic"},
    {"DE", "Germany"},
    {"DK", "Denmark"},
    {"DO", "Dominican Republic"},
    {"DZ", "Algeria"},
    {"EC", "Ecuador"},
    {"EE", "Estonia"},
    {"EG", "Egypt"},
    {"ES", "Spain"},
    {"FI", "Finland"},
    {"FO", "Faroe Islands"},
    {"FR", "France"},
    {"GB", "United Kingdom"},
    {"GE", "Georgia"},
    {"GR", "Greece"},
    {"GT", "Guatemala"},
    {"HK", "Hong Kong S.A.R."},
    {"HN", "Honduras"},
    {"HR", "Croatia"},
    {"HU", "Hungary"},
    {"ID", "Indonesia"},
    {"IE", "Ireland"},
    {"IL", "Israel"},
    {"IN", "India"},
    {"IQ", "Iraq"},
    {"IR", "Iran"},
    {"IS", "Iceland"},
    {"IT", "Italy"},
    {"JM", "Jamaica"},
    {"JO", "Jordan"},
    {"JP", "Japan"},
    {"KE", "Kenya"},
    {"KG", "Kyrgyzstan"},
    {"KR", "Korea"},
    {"KW", "Kuwait"},
    {"KZ", "Kazakhstan"},
    {"LB", "Lebanon"},
    {"LI", "Liechtenstein"},
    {"LK", "Sri Lanka"},
    {"LT", "Lithuania"},
    {"LU", "Luxembourg"},
    {"LV", "Latvia"},
    {"LY", "Libya"},
    {"MA", "Morocco"},
    {"MC", "Principality of Monaco"},
    {"ME", "Montenegro"},
    {"MK", "Former Yugoslav Republic of Macedonia"},
    {"MN", "Mongolia"},
    {"MO", "Macao S.A.R."},
    {"MT", "Malta"},
    {"MX", "Mexico"},
    {"MY", "Malaysia"},
    {"NG", "Nigeria"},
    {"NI", "Nicaragua"},
    {"NL", "Netherlands"},
    {"NO", "Norway"},
    {"NP", "Nepal"},
    {"NZ", "New Zealand"},
    {"OM", "Oman"},
    {"PA", "Panama"},
    {"PE", "Peru"},
    {"PH", "Republic of the Philippines"},
    {"PK", "Islamic Republic of Pakistan"},
    {"PL", "Poland"},
    {"PR", "Puerto Rico"},
    {"PT", "Portugal"},
    {"PY", "Paraguay"},
    {"QA", "Qatar"},
    {"RO", "Romania"},
    {"RS", "Serbia"},
    {"RU", "Russia"},
    {"SA", "Saudi Arabia"},
    {"SE", "Sweden"},
    {"SG", "Singapore"},
    {"SI", "Slovenia"},
    {"SK", "Slovakia"},
    {"SV", "El Salvador"},
    {"SY", "Syria"},
    {"TH", "Thailand"},
    {"TN", "Tunisia"},
    {"TR", "Turkey"},
    {"TT", "Trinidad and Tobago"},
    {"TW", "Taiwan"},
    {"UA", "Ukraine"},
    {"US", "United States"},
    {"UY", "Uruguay"},
    {"UZ", "Uzbekistan"},
    {"VE", "Venezuela"},
    {"VN", "Vietnam"},
    {"YE", "Yemen"},
    {"ZA", "South Africa"},
    {"ZW", "Zimbabwe"},
};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string CountryNameOfLocale(std::string_view locale_value) {
  // language[_territory][.codeset][@modifier]; "C" and "POSIX" have no territory.
  locale_value = locale_value.substr(0, locale_value.find_first_of(".@"));
  size_t underscore = locale_value.find('_');
  if (underscore == std::string_view::npos) return {};
  std::string territory(locale_value.substr(underscore + 1));
  for (char& c : territory) c = Upper(c);
  for (const auto& [code, name] : kCountries) {
    if (code == territory) return std::string(name);
  }
  return {};
}

}  // namespace internal

std::string UserCountry() {
  // The same precedence the C library gives these variables for message texts.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return internal::CountryNameOfLocale(value);
  }
  return {};
}

}  // namespace nd::platform
