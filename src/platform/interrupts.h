// Requests from outside to stop the program: Ctrl-C at its terminal and the session or a
// service manager asking it to end (SIGINT and SIGTERM here, console control events on
// Windows). The program acts on them at its own fixed points, never inside the interruption.
#pragma once

#include <memory>

namespace nd::platform {

// Catches the stop requests for as long as it lives and counts them; what handled them before
// is put back when it goes. One watch at a time per process.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // The requests that arrived since the previous call (or since the watch began).
  int TakeRequests() noexcept;

 private:
  struct Previous;  // the handlers to put back
  std::unique_ptr<Previous> previous_;
  int seen_ = 0;
};

}  // namespace nd::platform
