// The Host of the desktop program: wx message boxes, the wx event loop behind DoEvents, the real
// clocks, and ending the program (also on a stop request from outside, which closes the windows).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

#include "ui/host.h"

namespace nd::ui::wx {

class WxHost final : public Host {
 public:
  // Needs the wxApp to exist. Takes over the stop requests until destroyed: each closes every
  // open form as the session ending would, from the event loop.
  WxHost();
  ~WxHost() override;
  WxHost(const WxHost&) = delete;
  WxHost& operator=(const WxHost&) = delete;

  // Parented to the active visible window, if any. Answers the default button after EndProcess.
  MsgBoxResult MsgBox(MsgBoxIcon icon, std::string_view text, MsgBoxButtons buttons,
                      std::string_view title) override;
  // Also works before the main loop runs and from inside timer handlers.
  void DoEvents() override;
  void Sleep(int ms) override;
  std::chrono::system_clock::time_point Now() override;
  int64_t MonotonicMs() override;
  bool CloseWindow(Form& form) override;
  // Destroys every window without asking the forms and makes the main loop end; when called
  // before the main loop started, the program must check Ended() and not start it.
  void EndProcess(int code) override;

  void SetBusy(bool busy) override;

  bool Ended() const { return ended_; }
  // The code of the first EndProcess call.
  int ExitCode() const { return exit_code_; }

 private:
  class SignalWatch;

  bool ended_ = false;
  bool busy_ = false;
  int exit_code_ = 0;
  std::unique_ptr<SignalWatch> signal_watch_;
};

}  // namespace nd::ui::wx
