// The reminder to look for a newer version: the date of the last look is kept in the settings,
// and after two months the user is offered the update page.
#pragma once

#include <string>

#include "localisation/context.h"
#include "ui/host.h"

namespace nd::online {

// Beyond this many days since the last look, the user is asked to look again.
inline constexpr int kUpdateReminderDays = 60;

// Whole calendar days from the stored date of the last look to today, both in local time; the
// time of day does not count. With nothing stored yet, stores now and answers 0. Unreadable
// text answers 0; a date in the future answers a negative count.
int DaysSinceUpdateCheck(Context& context, ui::Host& host);

void StoreUpdateCheckTime(Context& context, ui::Host& host);

// Offers the update page when the last look is too old (storing now when the user accepts) and
// returns the age of the last look as a short phrase: "today", "yesterday", "N days ago.".
std::string CheckUpdateAge(Context& context, ui::Host& host);

}  // namespace nd::online
