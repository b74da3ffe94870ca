// Stop requests reach the program as counts it takes at its own pace, and whoever handled them
// before gets them back afterwards.
#include "platform/interrupts.h"

#include <gtest/gtest.h>

#include <csignal>

namespace nd::platform {
namespace {

volatile std::sig_atomic_t g_earlier_handler_calls = 0;

extern "C" void EarlierHandler(int) { g_earlier_handler_calls = g_earlier_handler_calls + 1; }

TEST(InterruptWatchTest, CountsRequestsOnceAndHandsThemBackWhenItGoes) {
  auto* before = std::signal(SIGINT, EarlierHandler);
  auto* before_term = std::signal(SIGTERM, EarlierHandler);
  {
    InterruptWatch watch;
    EXPECT_EQ(watch.TakeRequests(), 0);
    std::raise(SIGINT);
    std::raise(SIGTERM);
    std::raise(SIGINT);
    EXPECT_EQ(watch.TakeRequests(), 3);
    EXPECT_EQ(watch.TakeRequests(), 0);  // taken once only
    EXPECT_EQ(g_earlier_handler_calls, 0);
  }
  {
    // Requests of an earlier watch are not a later one's.
    InterruptWatch later;
    EXPECT_EQ(later.TakeRequests(), 0);
  }
  std::raise(SIGINT);
  std::raise(SIGTERM);
  EXPECT_EQ(g_earlier_handler_calls, 2);
  std::signal(SIGINT, before);
  std::signal(SIGTERM, before_term);
}

}  // namespace
}  // namespace nd::platform
