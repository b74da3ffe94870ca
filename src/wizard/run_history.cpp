#include "wizard/run_history.h"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "engine/job_log.h"
#include "platform/files.h"
#include "system/environment_probe.h"
#include "system/settings_keys.h"
#include "wizard/review_page.h"

namespace nd::wizard {
namespace {

constexpr size_t kLogFields = 10;

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  for (;;) {
    size_t bar = line.find('|', at);
    fields.push_back(line.substr(at, bar - at));
    if (bar == std::string::npos) break;
    at = bar + 1;
  }
  return fields;
}

// The list with its heading, separator and clear link; the filter box stays in every case.
void ShowHistoryArea(Start& w, bool visible) {
  w.ListView1.SetVisible(visible);
  w.Line1.SetVisible(visible);
  w.Label22.SetVisible(visible);
  w.Label29.SetVisible(visible);
}

}  // namespace

std::string DurationText(const std::string& seconds) {
  int64_t value = 0;
  const char* end = seconds.data() + seconds.size();
  auto [stop, error] = std::from_chars(seconds.data(), end, value);
  if (seconds.empty() || error != std::errc() || stop != end || value < 0) return seconds;
  return std::to_string(value / 60) + " min";
}

std::optional<std::vector<std::string>> HistoryRow(const std::string& line, bool good_only,
                                                   const LanguageState& language) {
  std::vector<std::string> f = SplitFields(line);
  if (f.size() < kLogFields) f.resize(kLogFields);
  const bool good = f[0] == "1";
  if (good_only && !good) return std::nullopt;
  std::string info;
  if (good) {
    info = LookupText(language, "VERSION3", "NTFS-MODE-REVIEW") + " " +
           LookupText(language, "VERSION3", "MODE" + f[8]) + kFatNtfsSeparator +
           LookupText(language, "VERSION3", "NTFS-MODE-" + f[9]);
  } else {
    info = LookupText(language, "VERSION3", "WORK-STATUS-" + f[0]);
  }
  return std::vector<std::string>{f[4], f[5], f[1], DurationText(f[3]), info};
}

void RefreshReportList(Start& w) {
  ui::ListView& list = w.ListView1;
  list.Clear();
  // Headers are set once; the widths follow the list's width on every refresh.
  if (list.Columns().empty()) {
    for (const char* header : kHistoryHeaders) list.AddColumn(header, 0);
  }
  for (int c = 0; c < static_cast<int>(std::size(kHistoryWidths)); ++c) {
    list.SetColumnWidth(c, list.Width() * kHistoryWidths[c] / 100);
  }
  ShowHistoryArea(w, false);
  const std::string path = engine::JobLogPath(w.svc.context.env);
  if (!FileExists(path)) return;
  const Environment& env = w.svc.context.env;
  engine::TraceStep(env, "REFRESHLOGS");
  std::ifstream in(path, std::ios::binary);
  const bool good_only = w.Check9.Value() != 0;
  bool any = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::optional<std::vector<std::string>> row =
        HistoryRow(line, good_only, w.svc.context.language);
    if (!row) continue;
    list.AddRow(std::move(*row));
    any = true;
  }
  engine::TraceStep(env, "");
  if (any) ShowHistoryArea(w, true);
}

void Check9_Click(Start& w) {
  Save(w.svc.context.settings, settings::kShowGoodOnly, w.Check9.Value() != 0 ? "YES" : "");
  RefreshReportList(w);
}

void Label22_Click(Start& w) {
  const std::string path = engine::JobLogPath(w.svc.context.env);
  if (FileExists(path)) platform::RemoveFile(path);
  RefreshReportList(w);
}

}  // namespace nd::wizard
