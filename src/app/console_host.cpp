#include "app/console_host.h"

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <thread>

namespace nd {
namespace {

volatile sig_atomic_t g_interrupts = 0;

void OnInterrupt(int) { g_interrupts = g_interrupts + 1; }

constexpr int64_t kTerminalRefreshMs = 200;
constexpr int kBarWidth = 24;

}  // namespace

ConsoleHost::ConsoleHost(engine::WorkingPageForm& page, std::FILE* out)
    : page_(page), out_(out), terminal_(::isatty(::fileno(out)) != 0) {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

ConsoleHost::~ConsoleHost() {
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
}

ui::MsgBoxResult ConsoleHost::MsgBox(ui::MsgBoxIcon, std::string_view text,
                                     ui::MsgBoxButtons buttons, std::string_view) {
  FinishLine();
  std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
  return ui::DefaultAnswer(buttons);
}

void ConsoleHost::DoEvents() {
  if (g_interrupts > interrupts_seen_) {
    interrupts_seen_ = g_interrupts;
    FinishLine();
    if (page_.Command4.Enabled()) {
      std::fprintf(out_, "Stopping: the running step ends, then the files written are deleted.\n");
      page_.Command4.UserClick();
    } else {
      std::fprintf(out_, "Already stopping; the files written are being deleted.\n");
    }
  }
  Render();
}

void ConsoleHost::Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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
  std::fflush(out_);
  std::_Exit(code);
}

void ConsoleHost::FinishLine() {
  if (line_open_) std::fputc('\n', out_);
  line_open_ = false;
  std::fflush(out_);
}

std::string ConsoleHost::StatusLine() const {
  std::string line = "[" + page_.Label13.Caption() + ":] " + page_.status.Caption();
  if (!page_.Label32.Caption().empty()) line += " - free bytes: " + page_.Label32.Caption();
  if (page_.Check2.Value() != 0) line += " (paused)";
  return line;
}

void ConsoleHost::Render() {
  int64_t now = MonotonicMs();
  std::string line = StatusLine();
  if (terminal_) {
    if (now - last_render_ms_ < kTerminalRefreshMs) return;
    last_render_ms_ = now;
    int filled = static_cast<int>(std::lround(page_.ProgressBar1.Fraction() * kBarWidth));
    std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] ";
    std::fprintf(out_, "\r\033[K%s%s", bar.c_str(), line.c_str());
    std::fflush(out_);
    line_open_ = true;
    return;
  }
  // In a log, a line whenever the step changes and otherwise at most one every ten seconds.
  bool changed = line.substr(0, line.find(" - ")) != last_line_.substr(0, last_line_.find(" - "));
  if (!changed && now - last_render_ms_ < 10'000) return;
  last_render_ms_ = now;
  last_line_ = line;
  int percent = static_cast<int>(page_.ProgressBar1.Fraction() * 100);
  std::fprintf(out_, "%3d%% %s\n", percent, line.c_str());
  std::fflush(out_);
}

}  // namespace nd
