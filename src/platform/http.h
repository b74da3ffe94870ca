// One HTTP GET that keeps the window responsive while it waits: the newsletter request and the
// downloads of small files from the vendor's server.
#pragma once

#include <functional>
#include <string>

namespace nd::platform {

struct HttpOptions {
  int connect_timeout_ms = 10000;
  int total_timeout_ms = 30000;
};

// Fetches `url` (http or https) into `body`, calling `pump` between rounds of waiting (about
// every 50 ms and after each chunk that arrives). Always a fresh answer: no cache on the way may
// answer for the server. True only when the transfer completed with a 2xx status; `body` is
// empty otherwise.
bool HttpGet(const std::string& url, std::string& body, const std::function<void()>& pump,
             HttpOptions options = {});

}  // namespace nd::platform
