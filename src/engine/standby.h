// Stand-by prevention during a cleaning job: suspend requests are refused while the job runs,
// but only while the machine is on mains power, so that a laptop on battery can still sleep
// before it runs flat.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/power.h"

namespace nd::engine {

class PowerHook {
 public:
  explicit PowerHook(platform::SleepBlocker& blocker) : blocker_(blocker) {}
  ~PowerHook();
  PowerHook(const PowerHook&) = delete;
  PowerHook& operator=(const PowerHook&) = delete;

  // Starts refusing suspend for the job, at once when on mains power. A second call does nothing.
  void HookPowerMessages();
  // Lets suspend through again. Does nothing when not hooked.
  void UnhookPowerMessages();
  // Follows the power source while hooked: the lock is taken when the adapter is plugged in
  // and let go when it is pulled. Reads the power source at most every five seconds, as the
  // job calls this at every point where the window may update.
  void Poll(int64_t monotonic_ms);

  bool Hooked() const { return hooked_; }

 private:
  static constexpr int64_t kPollIntervalMs = 5000;

  platform::SleepBlocker& blocker_;
  bool hooked_ = false;
  std::optional<int64_t> last_poll_ms_;
};

// The window's answer that refuses a suspend, for the two messages that ask for one: the
// suspend query of the power broadcast (BROADCAST_QUERY_DENY) and the older suspend request
// (PWR_FAIL). Nothing for every other message, resume and power-status notices included, whose
// normal answer stands.
std::optional<int64_t> SuspendRefusal(uint32_t message, uint64_t wparam);

}  // namespace nd::engine
