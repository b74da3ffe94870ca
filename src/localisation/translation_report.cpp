#include "localisation/translation_report.h"

#include <string_view>

#include "localisation/charset.h"
#include "localisation/ini_file.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"

namespace nd {
namespace {

constexpr std::string_view kIniSuffix = ".ini";
constexpr std::string_view kEnglishFile = "English.ini";
constexpr std::string_view kSection = "INTERFACE";
constexpr std::string_view kCrLf = "\r\n";

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The keys of English's INTERFACE section in file order, as written (no trimming). Keys in
// any other section, and in a second "[INTERFACE]" spelled differently, are not the interface's.
std::vector<std::string> InterfaceKeys(std::string_view english) {
  std::vector<std::string> keys;
  bool inside = false;
  while (!english.empty()) {
    size_t end = english.find('\n');
    std::string_view line = english.substr(0, end);
    english.remove_prefix(end == std::string_view::npos ? english.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;
    if (line.starts_with('[')) {
      inside = line == "[INTERFACE]";
      continue;
    }
    size_t eq = line.find('=');
    if (inside && eq != std::string_view::npos) keys.emplace_back(line.substr(0, eq));
  }
  return keys;
}

}  // namespace

std::string TranslationReportText(const std::string& languages_folder,
                                  const std::vector<std::string>& file_names) {
  const std::string english_path = platform::JoinPath(languages_folder, std::string(kEnglishFile));
  std::string english;
  platform::ReadFileBytes(english_path, english);
  const std::vector<std::string> keys = InterfaceKeys(english);
  const int code_page =
      CodePageOfCharset(CharsetFromText(FindIniValue(english, "CHARSET", "CHARSET")));

  std::string report;
  for (const std::string& file : file_names) {
    if (!file.ends_with(kIniSuffix) || file == kEnglishFile) continue;
    report += "================= " + UpperAscii(file.substr(0, file.size() - kIniSuffix.size())) +
              " =================";
    report += kCrLf;
    std::string translated;
    platform::ReadFileBytes(platform::JoinPath(languages_folder, file), translated);
    for (const std::string& key : keys) {
      // A bare ";" key is how translators comment in the section; it is never a text.
      if (key == ";" || !FindIniValue(translated, kSection, key).empty()) continue;
      std::string text = FindIniValue(english, kSection, key);
      report += key + "=" + (text.empty() ? text : platform::CodePageToUtf8(text, code_page));
      report += kCrLf;
    }
    report += kCrLf;
  }
  return report;
}

void TranslationReport(const Context& context, ui::Host& host,
                       const std::function<void(const std::string& path)>& open_file) {
  const std::string& folder = context.language.languages_folder;
  if (!FileExists(platform::JoinPath(folder, std::string(kEnglishFile)))) {
    host.MsgBox(ui::MsgBoxIcon::kExclamation,
                "English.ini is missing from " + folder +
                    ": there is nothing to compare the translations with.",
                ui::MsgBoxButtons::kOk, kProductName);
    return;
  }
  std::string report = TranslationReportText(folder, platform::ListFolderFiles(folder));
  if (report.empty()) {
    host.MsgBox(ui::MsgBoxIcon::kNone, "Interface translated completely.", ui::MsgBoxButtons::kOk,
                kProductName);
    return;
  }
  const std::string path = platform::JoinPath(context.env.data_folder, "temp.txt");
  if (!platform::WriteWholeFile(path, report + std::string(kCrLf))) return;
  open_file(ShortPathOf(path));
}

}  // namespace nd
