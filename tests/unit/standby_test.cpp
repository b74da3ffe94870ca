#include "engine/standby.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "platform/power.h"
#include "test_support.h"

namespace nd {
namespace {

using test::ScopedEnv;
using test::ScratchFolder;
using test::WriteFile;

class FakeSleepBlocker : public platform::SleepBlocker {
 public:
  bool Available() override { return true; }
  bool IsOnMainsPower() override {
    ++mains_reads;
    return mains;
  }
  bool Block() override {
    ++blocks;
    blocking = true;
    return true;
  }
  void Release() override {
    ++releases;
    blocking = false;
  }
  bool Blocking() const override { return blocking; }

  bool mains = true;
  bool blocking = false;
  int blocks = 0;
  int releases = 0;
  int mains_reads = 0;
};

TEST(PowerHookTest, HookingBlocksOnlyOnMainsAndUnhookingReleases) {
  FakeSleepBlocker on_mains;
  engine::PowerHook mains_hook(on_mains);
  mains_hook.HookPowerMessages();
  EXPECT_TRUE(mains_hook.Hooked());
  EXPECT_TRUE(on_mains.blocking);
  mains_hook.UnhookPowerMessages();
  EXPECT_FALSE(mains_hook.Hooked());
  EXPECT_FALSE(on_mains.blocking);

  FakeSleepBlocker on_battery;
  on_battery.mains = false;
  engine::PowerHook battery_hook(on_battery);
  battery_hook.HookPowerMessages();
  EXPECT_TRUE(battery_hook.Hooked());
  EXPECT_EQ(on_battery.blocks, 0);
}

TEST(PowerHookTest, RepeatedHookAndUnhookAreNoOps) {
  FakeSleepBlocker blocker;
  engine::PowerHook hook(blocker);
  hook.UnhookPowerMessages();
  EXPECT_EQ(blocker.releases, 0);
  hook.HookPowerMessages();
  hook.HookPowerMessages();
  EXPECT_EQ(blocker.blocks, 1);
  EXPECT_EQ(blocker.mains_reads, 1);
  hook.UnhookPowerMessages();
  hook.UnhookPowerMessages();
  EXPECT_EQ(blocker.releases, 1);
}

TEST(PowerHookTest, FollowsThePowerSourceNoMoreThanEveryFiveSeconds) {
  FakeSleepBlocker blocker;
  engine::PowerHook hook(blocker);
  hook.HookPowerMessages();
  ASSERT_TRUE(blocker.blocking);

  hook.Poll(1000);  // starts the interval
  blocker.mains = false;
  hook.Poll(5999);
  EXPECT_TRUE(blocker.blocking) << "read the power source before five seconds had passed";
  hook.Poll(6000);
  EXPECT_FALSE(blocker.blocking);
  EXPECT_EQ(blocker.releases, 1);

  blocker.mains = true;
  hook.Poll(9000);
  EXPECT_FALSE(blocker.blocking);
  hook.Poll(11000);
  EXPECT_TRUE(blocker.blocking);
  EXPECT_EQ(blocker.blocks, 2);

  // Unchanged power takes or lets go of nothing.
  hook.Poll(16000);
  EXPECT_EQ(blocker.blocks, 2);
  EXPECT_EQ(blocker.releases, 1);
}

TEST(PowerHookTest, PollingWhileNotHookedTouchesNothing) {
  FakeSleepBlocker blocker;
  engine::PowerHook hook(blocker);
  for (int64_t ms = 0; ms <= 30000; ms += 1000) hook.Poll(ms);
  EXPECT_EQ(blocker.mains_reads + blocker.blocks + blocker.releases, 0);

  // Nor after the job has unhooked, even when mains comes back.
  blocker.mains = false;
  hook.HookPowerMessages();
  hook.UnhookPowerMessages();
  blocker.mains = true;
  for (int64_t ms = 0; ms <= 30000; ms += 1000) hook.Poll(ms);
  EXPECT_EQ(blocker.blocks, 0);
}

TEST(PowerHookTest, DestroyingAHookedHookReleases) {
  FakeSleepBlocker blocker;
  {
    engine::PowerHook hook(blocker);
    hook.HookPowerMessages();
  }
  EXPECT_FALSE(blocker.blocking);
}

class MainsDecisionTest : public ::testing::Test {
 protected:
  void Supply(const std::string& name, const std::string& type, const std::string& online,
              const std::string& status = "", const std::string& scope = "") {
    // sysfs ends every value with a line feed.
    WriteFile(scratch / name + "/type", type + "\n");
    if (!online.empty()) WriteFile(scratch / name + "/online", online + "\n");
    if (!status.empty()) WriteFile(scratch / name + "/status", status + "\n");
    if (!scope.empty()) WriteFile(scratch / name + "/scope", scope + "\n");
  }
  bool Mains() { return platform::MainsPowerIn(scratch.path()); }

  ScratchFolder scratch;
};

TEST_F(MainsDecisionTest, AnOnlineAdapterMeansMains) {
  Supply("AC", "Mains", "1");
  Supply("BAT0", "Battery", "", "Full");
  EXPECT_TRUE(Mains());
}

TEST_F(MainsDecisionTest, ABatteryWithoutAnOnlineAdapterMeansBattery) {
  Supply("BAT0", "Battery", "", "Discharging");
  EXPECT_FALSE(Mains());
  Supply("AC", "Mains", "0");
  EXPECT_FALSE(Mains());
}

TEST_F(MainsDecisionTest, AMachineWithoutSystemBatteryIsADesktop) {
  EXPECT_TRUE(Mains());
  EXPECT_TRUE(platform::MainsPowerIn(scratch / "missing"));
  // A wireless mouse's battery does not make a laptop.
  Supply("hidpp_battery_0", "Battery", "", "Discharging", "Device");
  EXPECT_TRUE(Mains());
}

TEST_F(MainsDecisionTest, UsbChargersAndChargingBatteriesCountAsMains) {
  Supply("BAT1", "Battery", "", "Discharging");
  Supply("ucsi-source-psy-USBC000:001", "USB", "0");
  EXPECT_FALSE(Mains());
  Supply("ucsi-source-psy-USBC000:001", "USB", "2");
  EXPECT_TRUE(Mains());

  ScratchFolder no_adapter_listed;
  WriteFile(no_adapter_listed / "BAT0/type", "Battery\n");
  WriteFile(no_adapter_listed / "BAT0/status", "Charging\n");
  EXPECT_TRUE(platform::MainsPowerIn(no_adapter_listed.path()));
}

// The system blocker talks to whatever DBUS_SYSTEM_BUS_ADDRESS names; pointing it into a scratch
// folder keeps these tests away from the machine's real session manager.
class SystemSleepBlockerTest : public ::testing::Test {
 protected:
  ScratchFolder scratch;
};

TEST_F(SystemSleepBlockerTest, WithoutABusEverythingFailsQuietly) {
  ScopedEnv bus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + scratch / "no-bus");
  auto blocker = platform::MakeSystemSleepBlocker();
  EXPECT_FALSE(blocker->Available());
  EXPECT_FALSE(blocker->Block());
  EXPECT_FALSE(blocker->Blocking());
  blocker->Release();
  EXPECT_FALSE(blocker->Blocking());
}

TEST_F(SystemSleepBlockerTest, ABusThatNeverAnswersGivesUpWithinTheTimeout) {
  // A socket that takes connections into its queue and never says a word.
  int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = scratch / "silent";
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ScopedEnv bus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + path);

  auto blocker = platform::MakeSystemSleepBlocker();
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(blocker->Available());
  // Asked once: blocking afterwards does not wait again.
  EXPECT_FALSE(blocker->Block());
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::milliseconds(3500));
  ::close(listener);
}

}  // namespace
}  // namespace nd
