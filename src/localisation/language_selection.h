// Which language the program speaks: the stored choice, or on the first start the language of
// the user's country when its file is installed, else English.
#pragma once

#include <string>
#include <string_view>

#include "localisation/context.h"
#include "ui/host.h"

namespace nd {

// The English name of the user's country ("Germany", "Korea"), or "" when the locale names none.
std::string GetUserCountry();

// The language whose file the first start picks for `country`: the last row of the country
// table that matches and whose file is in `languages_folder`; "English" when none is.
std::string LanguageForCountry(std::string_view country, const std::string& languages_folder);

// Settles `context.language` from the stored choice, saving the country's language on the
// first start. False when the installation is broken: the user has been told and
// host.EndProcess(1) has been called; the caller returns straight away.
bool InitLanguage(Context& context, ui::Host& host);

}  // namespace nd
