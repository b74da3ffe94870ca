// The Host of the headless runner: shows the working page on a terminal (one updating line) or
// as plain lines in a log, and turns Ctrl-C into a click on Stop.
#pragma once

#include <cstdio>
#include <string>

#include "engine/working_page_form.h"
#include "ui/host.h"

namespace nd {

class ConsoleHost final : public ui::Host {
 public:
  ConsoleHost(engine::WorkingPageForm& page, std::FILE* out);
  ~ConsoleHost() override;
  ConsoleHost(const ConsoleHost&) = delete;
  ConsoleHost& operator=(const ConsoleHost&) = delete;

  ui::MsgBoxResult MsgBox(ui::MsgBoxIcon icon, std::string_view text, ui::MsgBoxButtons buttons,
                          std::string_view title) override;
  void DoEvents() override;
  void Sleep(int ms) override;
  std::chrono::system_clock::time_point Now() override;
  int64_t MonotonicMs() override;
  bool CloseWindow(ui::Form& form) override;
  void EndProcess(int code) override;

  // Ends the updating line so that what follows starts on a line of its own.
  void FinishLine();

 private:
  void Render();
  std::string StatusLine() const;

  engine::WorkingPageForm& page_;
  std::FILE* out_;
  bool terminal_;
  int64_t last_render_ms_ = -1'000'000;
  std::string last_line_;
  bool line_open_ = false;
  int interrupts_seen_ = 0;
};

}  // namespace nd
