// Stands in for the desktop's URL opener while a test runs: PATH points at a scratch folder
// whose "xdg-open" writes each of its arguments on a line of a log file, so nothing real opens.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace nd::test {

class FakeBrowser {
 public:
  // With `installed` false, PATH holds neither opener.
  explicit FakeBrowser(bool installed = true) {
    if (installed) {
      const std::string script = folder_ / "xdg-open";
      WriteFile(script,
                "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + Log() + "'\n");
      ::chmod(script.c_str(), 0755);
    }
  }
  FakeBrowser(const FakeBrowser&) = delete;
  FakeBrowser& operator=(const FakeBrowser&) = delete;

  std::string Log() const { return folder_ / "opened.log"; }

  // The targets opened so far, waiting up to two seconds for `count` of them (the opener runs
  // on its own).
  std::vector<std::string> Opened(size_t count = 1) const {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) {
      lines = Lines();
      if (lines.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lines;
  }

 private:
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::string text = ReadFile(Log());
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  ScratchFolder folder_;
  ScopedEnv path_{"PATH", folder_.path()};
};

}  // namespace nd::test
