// The user's country as the desktop's locale settings name it.
#pragma once

#include <string>

namespace nd::platform {

// The English name of the user's country, spelled as the program's country table and its
// server expect ("Germany", "People's Republic of China", "Korea", "United States"); the empty
// text when the locale names no country (C, POSIX) or one we do not know.
std::string UserCountry();

}  // namespace nd::platform
