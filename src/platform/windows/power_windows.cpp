// Power on Windows: GetSystemPowerStatus for the mains question, the thread's execution state
// for refusing sleep, and ExitWindowsEx with the shutdown privilege for switching off.
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "platform/power.h"

namespace nd::platform {
namespace {

constexpr BYTE kAcOffline = 0;
constexpr BYTE kAcOnline = 1;
constexpr BYTE kNoSystemBattery = 128;

// Telling the system that this thread needs it awake keeps idle sleep away for as long as the
// state is set; it is the supported successor of refusing the suspend query in the window
// procedure, which Windows no longer asks.
class WindowsSleepBlocker final : public SleepBlocker {
 public:
  ~WindowsSleepBlocker() override { Release(); }

  bool Available() override { return true; }

  bool IsOnMainsPower() override {
    SYSTEM_POWER_STATUS status{};
    if (!::GetSystemPowerStatus(&status)) return true;
    if (status.ACLineStatus == kAcOnline) return true;
    if (status.ACLineStatus == kAcOffline) return status.BatteryFlag == kNoSystemBattery;
    // 255, unknown: a desktop without a battery says so, and counts as mains.
    return true;
  }

  bool Block() override {
    if (blocking_) return true;
    blocking_ = ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
    return blocking_;
  }

  void Release() override {
    if (!blocking_) return;
    ::SetThreadExecutionState(ES_CONTINUOUS);
    blocking_ = false;
  }

  bool Blocking() const override { return blocking_; }

 private:
  bool blocking_ = false;
};

std::string ReadAttribute(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::unique_ptr<SleepBlocker> MakeSystemSleepBlocker() {
  return std::make_unique<WindowsSleepBlocker>();
}

// Windows has no such folder; the decision is kept for the callers that pass one, with the
// same rules as on Linux.
bool MainsPowerIn(const std::string& power_supply_folder) noexcept {
  try {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(fs::u8path(power_supply_folder), ec);
    if (ec) return true;
    bool mains = false;
    bool battery = false;
    for (const fs::directory_entry& entry : it) {
      if (entry.path().filename().string().front() == '.') continue;
      const std::string type = ReadAttribute(entry.path() / "type");
      if (type == "Mains" || type == "USB") {
        const std::string online = ReadAttribute(entry.path() / "online");
        if (!online.empty() && online != "0") mains = true;
      } else if (type == "Battery") {
        if (ReadAttribute(entry.path() / "scope") == "Device") continue;
        if (ReadAttribute(entry.path() / "status") == "Charging") mains = true;
        battery = true;
      }
    }
    return mains || !battery;
  } catch (...) {
    return true;
  }
}

bool PowerOff() noexcept {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled =
      ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
      ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
      // AdjustTokenPrivileges succeeds without granting what the token lacks.
      ::GetLastError() == ERROR_SUCCESS;
  ::CloseHandle(token);
  if (!enabled) return false;
  // Programs that hang do not stop the power-off; those that answer may still save their work.
  return ::ExitWindowsEx(EWX_POWEROFF | EWX_FORCEIFHUNG, SHTDN_REASON_MAJOR_OTHER |
                                                             SHTDN_REASON_MINOR_OTHER |
                                                             SHTDN_REASON_FLAG_PLANNED) != FALSE;
}

}  // namespace nd::platform
