// Dates and times in the user's regional short-date and time formats.
#include <windows.h>

#include <ctime>

#include "platform/clock_text.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

bool LocalParts(std::chrono::system_clock::time_point when, std::tm& parts) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  return ::localtime_s(&parts, &seconds) == 0;
}

SYSTEMTIME ToSystemTime(const std::tm& parts) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(parts.tm_year + 1900);
  st.wMonth = static_cast<WORD>(parts.tm_mon + 1);
  st.wDay = static_cast<WORD>(parts.tm_mday);
  st.wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  st.wHour = static_cast<WORD>(parts.tm_hour);
  st.wMinute = static_cast<WORD>(parts.tm_min);
  st.wSecond = static_cast<WORD>(parts.tm_sec);
  return st;
}

}  // namespace

std::string LocalDateTimeText(std::chrono::system_clock::time_point when) {
  std::tm parts{};
  if (!LocalParts(when, parts)) return {};
  SYSTEMTIME st = ToSystemTime(parts);
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  int date_n = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128);
  int time_n = ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 128);
  if (date_n <= 1 || time_n <= 1) return LocalIsoDateTimeText(when);
  return win::Narrow(date) + " " + win::Narrow(time);
}

std::string LocalIsoDateTimeText(std::chrono::system_clock::time_point when) {
  std::tm parts{};
  if (!LocalParts(when, parts)) return {};
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts));
}

LocalDate LocalDateOf(std::chrono::system_clock::time_point when) {
  std::tm parts{};
  if (!LocalParts(when, parts)) return {};
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

}  // namespace nd::platform
