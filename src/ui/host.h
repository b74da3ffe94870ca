// What event handlers need from outside the form model: message boxes, the message loop, sleep,
// the clocks, closing windows and ending the program (the desktop host, or ScriptedHost in tests).
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace nd::ui {

class Form;

enum class MsgBoxIcon { kNone, kCritical, kQuestion, kExclamation, kInformation };
enum class MsgBoxButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel, kAbortRetryIgnore };
enum class MsgBoxResult { kOk, kCancel, kYes, kNo, kRetry, kAbort, kIgnore };

// The answer of the first button, which is the default one.
MsgBoxResult DefaultAnswer(MsgBoxButtons buttons);

class Host {
 public:
  virtual ~Host() = default;

  // Modal: returns when the user has answered.
  virtual MsgBoxResult MsgBox(MsgBoxIcon icon, std::string_view text, MsgBoxButtons buttons,
                              std::string_view title) = 0;
  // Handles the messages waiting now: the points of a long job at which clicks and timer ticks
  // take effect.
  virtual void DoEvents() = 0;
  // Blocks the user interface: no message and no timer is handled meanwhile.
  virtual void Sleep(int ms) = 0;
  virtual std::chrono::system_clock::time_point Now() = 0;
  // Milliseconds from an arbitrary start; never goes back, whatever happens to the wall clock.
  virtual int64_t MonotonicMs() = 0;
  // Closes `form` as the program does (CloseReason::kFromCode); true when it is closed after.
  virtual bool CloseWindow(Form& form) = 0;
  // Ends the program with exit `code`. The caller returns straight after.
  virtual void EndProcess(int code) = 0;
  // Shows the wait cursor over the program's windows while `busy`; nothing by default.
  virtual void SetBusy(bool /*busy*/) {}
};

}  // namespace nd::ui
