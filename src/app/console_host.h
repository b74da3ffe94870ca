// The Host of the headless runner: shows the working page on a terminal (one updating line) or
// as plain lines in a log, prints what the job watch reports, and turns Ctrl-C into a click on
// Stop.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "engine/working_page_form.h"
#include "platform/interrupts.h"
#include "shell/job_watch.h"
#include "ui/host.h"

namespace nd {

enum class ConsoleStyle {
  kNormal,  // the running step, and a line per volume and result
  kQuiet,   // only the result lines
  kSilent,  // nothing on the output: a JSON document follows at the end
};

class ConsoleHost final : public ui::Host {
 public:
  // Messages that are not results go to `out` in the normal style and to `err` otherwise.
  ConsoleHost(engine::WorkingPageForm& page, std::FILE* out, std::FILE* err, ConsoleStyle style);
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

  // A message that is not a result: on the output in the normal style, else on the errors.
  void Note(const std::string& text) { PrintLine(Messages(), text); }

  // What the job watch reports, printed in this host's style.
  JobEvents Events();
  // Runs whenever the job lets the window update or sleeps.
  void SetPoll(std::function<void()> poll) { poll_ = std::move(poll); }
  // Runs when the program ends through EndProcess, with its exit code and the message shown
  // last (why it ends).
  void SetOnEnd(std::function<void(int code, const std::string& last_message)> on_end) {
    on_end_ = std::move(on_end);
  }

  // Ends the updating line so that what follows starts on a line of its own.
  void FinishLine();

 private:
  void Render();
  void PrintLine(std::FILE* stream, const std::string& line);
  std::FILE* Messages() const { return style_ == ConsoleStyle::kNormal ? out_ : err_; }

  engine::WorkingPageForm& page_;
  std::FILE* out_;
  std::FILE* err_;
  ConsoleStyle style_;
  bool terminal_;
  std::function<void()> poll_;
  std::function<void(int, const std::string&)> on_end_;
  std::string last_message_;
  int64_t last_render_ms_ = -1'000'000;
  bool line_open_ = false;
  // Ctrl-C and termination requests, acted on as a click on Stop.
  platform::InterruptWatch interrupts_;
};

}  // namespace nd
