// Dates and times as the user reads them in the regional format of the session.
#pragma once

#include <chrono>
#include <string>

namespace nd::platform {

// The local date and time in the user's short-date and time format; ISO form (2026-12-08
// 14:05:09) under the C or POSIX locale, whose own short date has a two-digit year.
std::string LocalDateTimeText(std::chrono::system_clock::time_point when);

// The local date and time in the fixed form 2026-12-08 14:05:09, whatever the locale.
std::string LocalIsoDateTimeText(std::chrono::system_clock::time_point when);

struct LocalDate {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
};

// The calendar date of `when` in the local time zone.
LocalDate LocalDateOf(std::chrono::system_clock::time_point when);

}  // namespace nd::platform
