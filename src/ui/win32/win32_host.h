// The Host of the Windows program: MessageBoxW, the thread's message queue behind DoEvents and
// the program's message loop, the real clocks, the wait cursor, and ending the program (also on
// a stop request from outside, which closes the windows as the end of the session does).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ui/host.h"

namespace nd::ui::win32 {

class Win32Host final : public Host {
 public:
  // Initialises the common controls and GDI+. `default_title` names message boxes that have no
  // title of their own. Takes over the stop requests until destroyed.
  explicit Win32Host(std::string default_title);
  ~Win32Host() override;
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  // Owned by the active visible window, if any. Answers the default button after EndProcess.
  MsgBoxResult MsgBox(MsgBoxIcon icon, std::string_view text, MsgBoxButtons buttons,
                      std::string_view title) override;
  void DoEvents() override;
  void Sleep(int ms) override;
  std::chrono::system_clock::time_point Now() override;
  int64_t MonotonicMs() override;
  bool CloseWindow(Form& form) override;
  // Drops every window without asking the forms and makes the message loop end.
  void EndProcess(int code) override;
  void SetBusy(bool busy) override;

  // The program's message loop: runs while a window is open and the program has not ended.
  void RunMessageLoop();

  bool Ended() const { return ended_; }
  // The code of the first EndProcess call.
  int ExitCode() const { return exit_code_; }

 private:
  class Libraries;
  class StopWatch;

  std::string default_title_;
  bool ended_ = false;
  bool busy_ = false;
  int exit_code_ = 0;
  std::unique_ptr<Libraries> libraries_;
  std::unique_ptr<StopWatch> stop_watch_;
};

}  // namespace nd::ui::win32
