// Console control events counted by a handler that does nothing else: Ctrl-C and Ctrl-Break at
// the console, its window being closed, and the session ending. The handler runs on a thread
// of its own that the system starts for each event.
#include <windows.h>

#include <atomic>

#include "platform/interrupts.h"

namespace nd::platform {
namespace {

std::atomic<int> g_requests{0};

// After a close, log-off or shutdown event the system ends the process once the handler
// returns (or after about five seconds); waiting here gives the job that long to stop at its
// next fixed point and delete what it wrote.
constexpr DWORD kGraceMs = 4500;

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_requests.fetch_add(1);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      g_requests.fetch_add(1);
      ::Sleep(kGraceMs);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

// The handlers installed before ours stay in the system's list; removing ours puts them back
// in charge.
struct InterruptWatch::Previous {
  bool added = false;
};

InterruptWatch::InterruptWatch()
    : previous_(std::make_unique<Previous>()), seen_(g_requests.load()) {
  previous_->added = ::SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
}

InterruptWatch::~InterruptWatch() {
  if (previous_->added) ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

int InterruptWatch::TakeRequests() noexcept {
  const int now = g_requests.load();
  const int fresh = now - seen_;
  seen_ = now;
  return fresh;
}

}  // namespace nd::platform
