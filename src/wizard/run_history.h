// The run history below the disk tiles: the job log read back, one row per cleaned volume,
// with a filter for successful runs and a link that clears it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "localisation/text_lookup.h"
#include "wizard/start_form.h"

namespace nd::wizard {

// The list's fixed headers and their shares of its width, in hundredths.
inline constexpr const char* kHistoryHeaders[] = {"Disk", "Label", "Started at", "Time", "Info"};
inline constexpr int kHistoryWidths[] = {3, 10, 22, 10, 50};

// "754" -> "12 min"; a duration that is not a whole number is shown as stored.
std::string DurationText(const std::string& seconds);

// The row of one job-log line, or nothing when the filter leaves it out. A damaged line with
// fewer than ten fields is still shown, with its missing fields empty, so that nothing vanishes
// without a trace.
std::optional<std::vector<std::string>> HistoryRow(const std::string& line, bool good_only,
                                                   const LanguageState& language);

void RefreshReportList(Start& w);
void Check9_Click(Start& w);
void Label22_Click(Start& w);

}  // namespace nd::wizard
