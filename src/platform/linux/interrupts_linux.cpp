// SIGINT and SIGTERM counted by a handler that does nothing else, as a signal handler must.
#include <signal.h>

#include "platform/interrupts.h"

namespace nd::platform {
namespace {

volatile sig_atomic_t g_requests = 0;

extern "C" void OnStopSignal(int /*signal*/) { g_requests = g_requests + 1; }

}  // namespace

struct InterruptWatch::Previous {
  struct sigaction interrupt = {};
  struct sigaction terminate = {};
};

InterruptWatch::InterruptWatch()
    : previous_(std::make_unique<Previous>()), seen_(static_cast<int>(g_requests)) {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &previous_->interrupt);
  ::sigaction(SIGTERM, &action, &previous_->terminate);
}

InterruptWatch::~InterruptWatch() {
  ::sigaction(SIGINT, &previous_->interrupt, nullptr);
  ::sigaction(SIGTERM, &previous_->terminate, nullptr);
}

int InterruptWatch::TakeRequests() noexcept {
  const int now = static_cast<int>(g_requests);
  const int fresh = now - seen_;
  seen_ = now;
  return fresh;
}

}  // namespace nd::platform
