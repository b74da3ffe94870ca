// The power side of the operating system that a cleaning job touches: whether the machine runs
// on mains power, a lock that refuses suspend requests while it is held, and switching off.
#pragma once

#include <memory>
#include <string>

namespace nd::platform {

class SleepBlocker {
 public:
  virtual ~SleepBlocker() = default;
  // Whether refusing suspend can work on this machine at all.
  virtual bool Available() = 0;
  // True on mains power, and on a machine that lists no power supply (a desktop).
  virtual bool IsOnMainsPower() = 0;
  // Takes the lock that refuses suspend; true when it is held afterwards. Idempotent.
  virtual bool Block() = 0;
  // Lets suspend requests through again. Idempotent.
  virtual void Release() = 0;
  virtual bool Blocking() const = 0;
};

// The blocker of this machine. It asks the session manager over the system bus; every call
// fails quietly and within about two seconds when there is no such bus. Use it from one thread.
std::unique_ptr<SleepBlocker> MakeSystemSleepBlocker();

// The mains decision of IsOnMainsPower() made on a folder laid out like the kernel's list of
// power supplies (one folder per supply holding `type`, `online`, `status`, `scope`):
// - a "Mains" or "USB" supply reporting online means mains (a USB-C charger is an AC adapter
//   on many laptops);
// - otherwise a system battery (not a mouse's or headset's) means battery, unless it reports
//   that it is charging, which only a connected adapter can do;
// - otherwise, with no supply or no battery listed, the machine is a desktop: mains.
// A folder that cannot be read counts as no supply listed.
bool MainsPowerIn(const std::string& power_supply_folder) noexcept;

// Asks the session manager to switch the machine off now, without asking the user for rights.
// False when the request was refused or could not be made.
bool PowerOff() noexcept;

}  // namespace nd::platform
