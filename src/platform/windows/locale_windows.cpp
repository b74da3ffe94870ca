// The user's country as Windows itself names it in English (LOCALE_SENGCOUNTRY): the names the
// country table and the server were made for.
#include <windows.h>

#include "platform/locale.h"
#include "platform/windows/win_text.h"

namespace nd::platform {

std::string UserCountry() {
  wchar_t name[128] = {};
  int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGCOUNTRY, name, 128);
  if (n <= 1) return {};
  return win::Narrow(std::wstring_view(name, static_cast<size_t>(n - 1)));
}

}  // namespace nd::platform
