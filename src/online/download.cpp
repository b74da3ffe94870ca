#include "online/download.h"

#include "platform/files.h"

namespace nd::online {

bool DownloadToFile(ui::Host& host, const std::string& url, const std::string& file_path,
                    size_t expected_length, platform::HttpOptions options) {
  std::string body;
  if (!platform::HttpGet(
          url, body, [&host] { host.DoEvents(); }, options))
    return false;
  if (body.size() != expected_length) return false;
  return platform::WriteWholeFile(file_path, body);
}

}  // namespace nd::online
