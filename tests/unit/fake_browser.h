// Stands in for the desktop's URL opener while a test runs, so that nothing real opens: each
// target handed to it is written on a line of a log file. Here PATH points at a scratch folder
// whose "xdg-open" does that; on Windows the user's classes name cmd.exe as the program that
// opens http and https addresses (and one that does not exist for "not installed").
#pragma once

#ifndef _WIN32
#include <sys/stat.h>
#endif

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
#ifdef _WIN32
    const std::string command = installed ? "cmd.exe /d /c echo \"%1\">>\"" + Log() + "\""
                                          : "\"" + (folder_ / "no-such-opener.exe") + "\" \"%1\"";
    SetUrlOpenCommand(command);
#else
    if (installed) {
      const std::string script = folder_ / "xdg-open";
      WriteFile(script,
                "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + Log() + "'\n");
      ::chmod(script.c_str(), 0755);
    }
#endif
  }
#ifdef _WIN32
  ~FakeBrowser() { RemoveUrlOpenCommand(); }
#endif
  FakeBrowser(const FakeBrowser&) = delete;
  FakeBrowser& operator=(const FakeBrowser&) = delete;

  std::string Log() const { return folder_ / "opened.log"; }

  // The targets opened so far, waiting up to ten seconds for `count` of them (the opener runs
  // on its own; under Wine on a loaded machine a batch file may take seconds to start).
  std::vector<std::string> Opened(size_t count = 1) const {
    std::vector<std::string> lines;
    for (int i = 0; i < 1000; ++i) {
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
      std::string line = text.substr(start, end - start);
#ifdef _WIN32
      // cmd's echo writes the quotes that keep "&" from splitting the command, and CR LF.
      if (!line.empty() && line.back() == '\r') line.pop_back();
      while (!line.empty() && line.back() == ' ') line.pop_back();
      if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
        line = line.substr(1, line.size() - 2);
      }
#endif
      lines.push_back(line);
    }
    return lines;
  }

  ScratchFolder folder_;
  ScopedEnv path_{"PATH", folder_.path()};
};

}  // namespace nd::test
