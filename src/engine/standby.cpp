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

std::optional<int64_t> SuspendRefusal(uint32_t message, uint64_t wparam) {
  constexpr uint32_t kPower = 0x48;  // WM_POWER
  constexpr uint64_t kSuspendRequest = 1;
  constexpr int64_t kPowerFail = -1;
  constexpr uint32_t kPowerBroadcast = 0x218;  // WM_POWERBROADCAST
  constexpr uint64_t kQuerySuspend = 0;
  constexpr int64_t kBroadcastQueryDeny = 0x424D5144;
  if (message == kPower && wparam == kSuspendRequest) return kPowerFail;
  if (message == kPowerBroadcast && wparam == kQuerySuspend) return kBroadcastQueryDeny;
  return std::nullopt;
}

}  // namespace nd::engine
