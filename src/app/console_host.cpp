#include "app/console_host.h"

#include <cmath>
#include <thread>

#include "platform/console.h"

namespace nd {
namespace {

constexpr int64_t kTerminalRefreshMs = 200;
constexpr int kBarWidth = 24;

}  // namespace

ConsoleHost::ConsoleHost(engine::WorkingPageForm& page, std::FILE* out, std::FILE* err,
                         ConsoleStyle style)
    : page_(page),
      out_(out),
      err_(err),
      style_(style),
      terminal_(style == ConsoleStyle::kNormal && platform::IsTerminal(out)) {}

ConsoleHost::~ConsoleHost() = default;

ui::MsgBoxResult ConsoleHost::MsgBox(ui::MsgBoxIcon, std::string_view text,
                                     ui::MsgBoxButtons buttons, std::string_view) {
  last_message_ = text;
  PrintLine(Messages(), last_message_);
  return ui::DefaultAnswer(buttons);
}

void ConsoleHost::DoEvents() {
  if (poll_) poll_();
  if (interrupts_.TakeRequests() > 0) {
    if (page_.Command4.Enabled()) {
      PrintLine(Messages(), "Stopping: the running step ends, then the files written are deleted.");
      page_.Command4.UserClick();
    } else {
      PrintLine(Messages(), "Already stopping; the files written are being deleted.");
    }
  }
  Render();
}

void ConsoleHost::Sleep(int ms) {
  if (poll_) poll_();
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::chrono::system_clock::time_point ConsoleHost::Now() {
  return std::chrono::system_clock::now();
}

int64_t ConsoleHost::MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool ConsoleHost::CloseWindow(ui::Form& form) { return form.Close(ui::CloseReason::kFromCode); }

void ConsoleHost::EndProcess(int code) {
  FinishLine();
  if (on_end_) on_end_(code, last_message_);
  std::fflush(out_);
  std::_Exit(code);
}

JobEvents ConsoleHost::Events() {
  JobEvents events;
  events.volume_ended = [this](const VolumeResult& result) {
    if (style_ != ConsoleStyle::kSilent) PrintLine(out_, ResultLine(result));
  };
  if (style_ != ConsoleStyle::kNormal) return events;
  events.volume_started = [this](const VolumeInfo& volume) {
    PrintLine(out_, VolumeStartLine(volume));
  };
  // On a terminal the updating line shows the running step.
  if (terminal_) return events;
  events.status_shown = [this](const std::string& text) { PrintLine(out_, text); };
  events.step_entered = [this](const std::string& letter, int step, const std::string& title) {
    PrintLine(out_, StepLine(letter, step, title));
  };
  return events;
}

void ConsoleHost::PrintLine(std::FILE* stream, const std::string& line) {
  if (stream == out_) FinishLine();
  std::fprintf(stream, "%s\n", line.c_str());
  std::fflush(stream);
}

void ConsoleHost::FinishLine() {
  if (line_open_) std::fputc('\n', out_);
  line_open_ = false;
  std::fflush(out_);
}

void ConsoleHost::Render() {
  if (!terminal_ || page_.status.Caption().empty()) return;
  int64_t now = MonotonicMs();
  if (now - last_render_ms_ < kTerminalRefreshMs) return;
  last_render_ms_ = now;
  std::string line = page_.status.Caption();
  if (!page_.Label13.Caption().empty()) line = "[" + page_.Label13.Caption() + ":] " + line;
  if (!page_.Label32.Caption().empty()) line += " - free bytes: " + page_.Label32.Caption();
  if (page_.Check2.Value() != 0) line += " (paused)";
  int filled = static_cast<int>(std::lround(page_.ProgressBar1.Fraction() * kBarWidth));
  std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] ";
  std::fprintf(out_, "\r\033[K%s%s", bar.c_str(), line.c_str());
  std::fflush(out_);
  line_open_ = true;
}

}  // namespace nd
