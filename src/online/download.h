// Fetching a file of known length from the server while the window stays responsive.
#pragma once

#include <cstddef>
#include <string>

#include "platform/http.h"
#include "ui/host.h"

namespace nd::online {

// Fetches `url` and, only when exactly `expected_length` bytes arrived, writes them to
// `file_path` in place of anything there before. A failed or short fetch leaves the file alone:
// a cut-off answer is never taken for the whole file.
bool DownloadToFile(ui::Host& host, const std::string& url, const std::string& file_path,
                    size_t expected_length, platform::HttpOptions options = {});

}  // namespace nd::online
