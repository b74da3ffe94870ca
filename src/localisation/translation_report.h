// The translators' report: for every installed language, the interface texts English has and
// that language lacks, with the English text beside each key.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "localisation/context.h"
#include "ui/host.h"

namespace nd {

// One block per language file among `file_names` (English.ini aside, in list order): a header
// with the language's name in capitals, then "KEY=English text" lines in UTF-8 for each
// INTERFACE entry of English.ini that the language leaves empty or lacks, then an empty line.
// Lines end in CR LF. Empty when no language besides English is listed.
std::string TranslationReportText(const std::string& languages_folder,
                                  const std::vector<std::string>& file_names);

// Writes the report over temp.txt in the data folder and hands the file to `open_file`, or
// tells the user that there is nothing to report or nothing to compare with.
void TranslationReport(const Context& context, ui::Host& host,
                       const std::function<void(const std::string& path)>& open_file);

}  // namespace nd
