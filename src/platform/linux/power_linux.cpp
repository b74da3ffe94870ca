// Power on Linux: the kernel's list of power supplies in sysfs for the mains question, and the
// session manager (logind) over the system bus for the suspend lock and for switching off.
#include <dirent.h>
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/power.h"

namespace nd::platform {
namespace {

constexpr const char* kPowerSupplies = "/sys/class/power_supply";

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";

// A job must not stall on a bus that accepts connections but never answers; two seconds is
// plenty for a local daemon that works.
constexpr uint64_t kBusTimeoutUs = 2'000'000;

uint64_t MonotonicUs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1'000'000 + static_cast<uint64_t>(ts.tv_nsec) / 1000;
}

// A connection to the system bus that has finished its handshake, or none. sd-bus bounds method
// calls by the call timeout, but it would wait for the handshake of a silent daemon as long as
// its own authentication limit allows, so the handshake is driven here against our deadline.
class SystemBus {
 public:
  SystemBus() {
    if (::sd_bus_open_system(&bus_) < 0) {
      bus_ = nullptr;
      return;
    }
    ::sd_bus_set_method_call_timeout(bus_, kBusTimeoutUs);
    if (!WaitUntilReady()) {
      ::sd_bus_close_unref(bus_);
      bus_ = nullptr;
    }
  }
  ~SystemBus() {
    // No flush: every message sent was answered, and a flush could wait on a silent peer.
    if (bus_) ::sd_bus_close_unref(bus_);
  }
  SystemBus(const SystemBus&) = delete;
  SystemBus& operator=(const SystemBus&) = delete;

  sd_bus* get() const { return bus_; }

 private:
  bool WaitUntilReady() {
    const uint64_t deadline = MonotonicUs() + kBusTimeoutUs;
    for (;;) {
      int ready = ::sd_bus_is_ready(bus_);
      if (ready != 0) return ready > 0;
      int r = ::sd_bus_process(bus_, nullptr);
      if (r < 0) return false;
      if (r > 0) continue;
      uint64_t now = MonotonicUs();
      if (now >= deadline) return false;
      r = ::sd_bus_wait(bus_, deadline - now);
      if (r < 0 && r != -EINTR) return false;
    }
  }

  sd_bus* bus_ = nullptr;
};

// Any property read proves that logind is there and answers; this one costs it nothing.
bool LoginManagerAnswers() {
  SystemBus bus;
  if (!bus.get()) return false;
  // Zeroed is the empty error; SD_BUS_ERROR_NULL spells it as a C compound literal.
  sd_bus_error error{};
  char* value = nullptr;
  int r = ::sd_bus_get_property_string(bus.get(), kLogin, kLoginPath, kLoginManager,
                                       "BlockInhibited", &error, &value);
  ::sd_bus_error_free(&error);
  ::free(value);
  return r >= 0;
}

// The lock is held for as long as the returned descriptor stays open, by us or by a child.
int TakeSleepLock() {
  SystemBus bus;
  if (!bus.get()) return -1;
  sd_bus_error error{};
  sd_bus_message* reply = nullptr;
  int r =
      ::sd_bus_call_method(bus.get(), kLogin, kLoginPath, kLoginManager, "Inhibit", &error, &reply,
                           "ssss", "sleep", "Nulldrift", "Cleaning free space", "block");
  ::sd_bus_error_free(&error);
  if (r < 0) return -1;
  int fd = -1;
  int own = -1;
  // The message owns the descriptor it carries and closes it with the message.
  if (::sd_bus_message_read(reply, "h", &fd) > 0 && fd >= 0) {
    own = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  }
  ::sd_bus_message_unref(reply);
  return own;
}

// The first line of a small sysfs attribute without its line end; empty when unreadable.
std::string ReadAttribute(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buffer[128];
  ssize_t n;
  do {
    n = ::read(fd, buffer, sizeof buffer);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n <= 0) return {};
  std::string value(buffer, static_cast<size_t>(n));
  value = value.substr(0, value.find('\n'));
  while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) {
    value.pop_back();
  }
  return value;
}

class SystemSleepBlocker final : public SleepBlocker {
 public:
  SystemSleepBlocker() = default;
  ~SystemSleepBlocker() override { Release(); }
  SystemSleepBlocker(const SystemSleepBlocker&) = delete;
  SystemSleepBlocker& operator=(const SystemSleepBlocker&) = delete;

  // Asked once: a bus that is missing now does not appear during a job, and a job polls often.
  bool Available() override {
    if (!available_) available_ = LoginManagerAnswers();
    return *available_;
  }

  bool IsOnMainsPower() override { return MainsPowerIn(kPowerSupplies); }

  bool Block() override {
    if (lock_fd_ >= 0) return true;
    if (!Available()) return false;
    lock_fd_ = TakeSleepLock();
    return lock_fd_ >= 0;
  }

  void Release() override {
    if (lock_fd_ < 0) return;
    ::close(lock_fd_);
    lock_fd_ = -1;
  }

  bool Blocking() const override { return lock_fd_ >= 0; }

 private:
  std::optional<bool> available_;
  int lock_fd_ = -1;
};

}  // namespace

std::unique_ptr<SleepBlocker> MakeSystemSleepBlocker() {
  return std::make_unique<SystemSleepBlocker>();
}

bool MainsPowerIn(const std::string& power_supply_folder) noexcept {
  DIR* dir = ::opendir(power_supply_folder.c_str());
  if (!dir) return true;
  bool mains = false;
  bool battery = false;
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string supply = power_supply_folder + "/" + entry->d_name;
    const std::string type = ReadAttribute(supply + "/type");
    if (type == "Mains" || type == "USB") {
      // 1 is a fixed adapter, 2 one whose voltage is negotiated; both feed the machine.
      const std::string online = ReadAttribute(supply + "/online");
      if (!online.empty() && online != "0") mains = true;
    } else if (type == "Battery") {
      // Mice, keyboards and headsets list their batteries here too; they power nothing else.
      if (ReadAttribute(supply + "/scope") == "Device") continue;
      // Some firmware lists no adapter at all, but a battery can only charge from one.
      if (ReadAttribute(supply + "/status") == "Charging") mains = true;
      battery = true;
    }
  }
  ::closedir(dir);
  return mains || !battery;
}

bool PowerOff() noexcept {
  SystemBus bus;
  if (!bus.get()) return false;
  sd_bus_error error{};
  // false: never open a password dialogue; the user chose power-off beforehand and is away.
  int r = ::sd_bus_call_method(bus.get(), kLogin, kLoginPath, kLoginManager, "PowerOff", &error,
                               nullptr, "b", 0);
  ::sd_bus_error_free(&error);
  return r >= 0;
}

}  // namespace nd::platform
