// How a locale setting such as "de_DE.UTF-8" names the user's country, as a plain function the
// tests can call without touching the process's environment.
#pragma once

#include <string>
#include <string_view>

namespace nd::platform::internal {

// The English country name of the territory in `locale_value` ("pt_BR" -> "Brazil",
// "sr_RS@latin" -> "Serbia"); empty for "C", "POSIX", a value without a territory, or a
// territory the table does not know.
std::string CountryNameOfLocale(std::string_view locale_value);

}  // namespace nd::platform::internal
