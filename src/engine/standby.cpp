#include "engine/standby.h"

namespace nd::engine {

PowerHook::~PowerHook() { UnhookPowerMessages(); }

void PowerHook::HookPowerMessages() {
  if (hooked_) return;
  hooked_ = true;
  last_poll_ms_.reset();
  if (blocker_.IsOnMainsPower()) blocker_.Block();
}

void PowerHook::UnhookPowerMessages() {
  if (!hooked_) return;
  blocker_.Release();
  hooked_ = false;
}

void PowerHook::Poll(int64_t monotonic_ms) {
  if (!hooked_) return;
  // The first poll after hooking only starts the interval: hooking has just read the power
  // source. A clock that went backwards (the host restarted its count) starts it again too.
  if (!last_poll_ms_ || monotonic_ms < *last_poll_ms_) {
    last_poll_ms_ = monotonic_ms;
    return;
  }
  if (monotonic_ms - *last_poll_ms_ < kPollIntervalMs) return;
  last_poll_ms_ = monotonic_ms;
  const bool mains = blocker_.IsOnMainsPower();
  if (mains && !blocker_.Blocking()) {
    blocker_.Block();
  } else if (!mains && blocker_.Blocking()) {
    blocker_.Release();
  }
}

}  // namespace nd::engine
