#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <ctime>

#include "platform/clock_text.h"

namespace nd::platform {
namespace {

// The session's time locale, made once: building it reads locale files.
locale_t TimeLocale() {
  static locale_t locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  return locale;
}

bool IsPlainLocale(locale_t locale) {
  if (!locale) return true;
  const char* name = ::nl_langinfo_l(D_FMT, locale);
  // The C locale's short date is "%m/%d/%y".
  return !name || std::strcmp(name, "%m/%d/%y") == 0;
}

}  // namespace

std::string LocalDateTimeText(std::chrono::system_clock::time_point when) {
  locale_t locale = TimeLocale();
  if (IsPlainLocale(locale)) return LocalIsoDateTimeText(when);
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm parts{};
  if (!::localtime_r(&seconds, &parts)) return {};
  char text[128];
  return std::string(text, ::strftime_l(text, sizeof text, "%x %X", &parts, locale));
}

std::string LocalIsoDateTimeText(std::chrono::system_clock::time_point when) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm parts{};
  if (!::localtime_r(&seconds, &parts)) return {};
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts));
}

LocalDate LocalDateOf(std::chrono::system_clock::time_point when) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm parts{};
  if (!::localtime_r(&seconds, &parts)) return {};
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

}  // namespace nd::platform
