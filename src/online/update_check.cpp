#include "online/update_check.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "online/server.h"
#include "platform/clock_text.h"
#include "system/settings_keys.h"

namespace nd::online {
namespace {

using std::chrono::sys_days;

std::optional<sys_days> DateOf(int year, int month, int day) {
  std::chrono::year_month_day date{std::chrono::year(year),
                                   std::chrono::month(static_cast<unsigned>(month)),
                                   std::chrono::day(static_cast<unsigned>(day))};
  if (month < 1 || day < 1 || !date.ok()) return std::nullopt;
  return sys_days(date);
}

// The calendar date of a stored text; the time of day is checked but not used.
std::optional<sys_days> StoredDate(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                  &second, &used) != 6 ||
      static_cast<size_t>(used) != text.size()) {
    return std::nullopt;
  }
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60) {
    return std::nullopt;
  }
  return DateOf(year, month, day);
}

std::optional<sys_days> Today(ui::Host& host) {
  const platform::LocalDate today = platform::LocalDateOf(host.Now());
  return DateOf(today.year, today.month, today.day);
}

}  // namespace

int DaysSinceUpdateCheck(Context& context, ui::Host& host) {
  const std::string stored = Get(context.settings, settings::kRecentUpdate);
  if (stored.empty()) {
    StoreUpdateCheckTime(context, host);
    return 0;
  }
  std::optional<sys_days> then = StoredDate(stored);
  std::optional<sys_days> today = Today(host);
  if (!then || !today) return 0;
  return static_cast<int>((*today - *then).count());
}

void StoreUpdateCheckTime(Context& context, ui::Host& host) {
  // The stored form is ours alone, so it is fixed and independent of the user's locale.
  Save(context.settings, settings::kRecentUpdate, platform::LocalIsoDateTimeText(host.Now()));
}

std::string CheckUpdateAge(Context& context, ui::Host& host) {
  const int age = DaysSinceUpdateCheck(context, host);
  const Texts texts(context.language);
  if (age > kUpdateReminderDays) {
    const std::string question = texts("UPDATES", "RECENTUPDATECHECKWAS") + " " +
                                 std::to_string(age) + " " + texts("UPDATES", "DAYSAGO") + "\n\n" +
                                 texts("UPDATES", "CHECKUPDATESNOW");
    if (host.MsgBox(ui::MsgBoxIcon::kInformation, question, ui::MsgBoxButtons::kYesNo,
                    kProductName) == ui::MsgBoxResult::kYes) {
      OpenServerPage(context, host, "updates", "", false);
      StoreUpdateCheckTime(context, host);
    }
  }
  if (age == 0) return texts("UPDATES", "TODAY");
  if (age == 1) return texts("UPDATES", "YESTERDAY");
  return std::to_string(age) + " " + texts("UPDATES", "DAYSAGO");
}

}  // namespace nd::online
