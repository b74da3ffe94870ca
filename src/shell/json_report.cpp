#include "shell/json_report.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "shell/volume_listing.h"

namespace nd {
namespace {

using json = nlohmann::ordered_json;

std::string Dump(const json& document) {
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

json OptionalBytes(const std::optional<uint64_t>& bytes) {
  return bytes ? json(*bytes) : json(nullptr);
}

json OrNull(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

uint64_t WholeBytes(double bytes) {
  return std::isfinite(bytes) && bytes > 0 ? static_cast<uint64_t>(std::llround(bytes)) : 0;
}

}  // namespace

std::string IsoUtcText(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const sys_days day = floor<days>(when);
  const year_month_day date(day);
  const hh_mm_ss time(floor<seconds>(when - day));
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

std::string MethodName(int method) {
  static const char* const kNames[] = {"random", "spaces", "digits", "gutmann", "dod"};
  return method >= 1 && method <= 5 ? kNames[method - 1] : "";
}

std::string RunReportJson(const RunReport& report) {
  json volumes = json::array();
  for (const VolumeResult& v : report.volumes) {
    volumes.push_back({{"letter", v.letter},
                       {"mount_point", v.mount_point},
                       {"file_system", v.file_system},
                       {"label", v.label},
                       {"way", v.clean_way},
                       {"ntfs_mode", v.ntfs_mode},
                       {"method", MethodName(v.method)},
                       {"result_code", v.result_code},
                       {"result_text", v.result_text},
                       {"completed", v.result_code == 1},
                       {"start", IsoUtcText(v.start)},
                       {"end", IsoUtcText(v.end)},
                       {"seconds", std::round(v.seconds * 1000) / 1000},
                       {"bytes_written", v.bytes_written},
                       {"free_before", OptionalBytes(v.free_before)},
                       {"free_after", OptionalBytes(v.free_after)}});
  }
  json document = {{"program", "nulldrift-clean"},
                   {"version", report.version},
                   {"volumes", volumes},
                   {"exit_status", report.exit_status}};
  if (!report.error.empty()) document["error"] = report.error;
  return Dump(document);
}

std::string VolumeListJson(const std::vector<VolumeInfo>& list, const std::string& version) {
  json volumes = json::array();
  for (const VolumeInfo& v : list) {
    std::string reason = NotCleanableReason(v);
    volumes.push_back({{"letter", OrNull(v.DriveLetter)},
                       {"mount_point", v.RootPath},
                       {"label", v.VolumeName},
                       {"file_system", v.FileSystem},
                       {"type", DriveTypeName(v.DriveType)},
                       {"type_code", v.DriveType},
                       {"ready", v.IsReady},
                       {"size", WholeBytes(v.TotalSize)},
                       {"free", v.AvailableSpace},
                       {"serial", v.SerialNumber},
                       {"cleanable", reason.empty()},
                       {"reason", OrNull(reason)}});
  }
  return Dump({{"program", "nulldrift-clean"}, {"version", version}, {"volumes", volumes}});
}

}  // namespace nd
