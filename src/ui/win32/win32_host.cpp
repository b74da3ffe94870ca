#include "ui/win32/win32_host.h"

#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <commctrl.h>

#include <utility>

#include "platform/interrupts.h"
#include "platform/windows/win_text.h"
#include "ui/form.h"
#include "ui/handler_scope.h"
#include "ui/utf8.h"
#include "ui/win32/form_window.h"
#include "ui/win32/images.h"

namespace nd::ui::win32 {
namespace {

// How often the loop looks for a request to end; the interruption itself may do no more than
// count it.
constexpr UINT kStopPollMs = 200;

std::wstring Wide(std::string_view utf8) { return platform::win::Widen(ReplaceInvalidUtf8(utf8)); }

HWND ActiveVisibleWindow() {
  HWND fallback = nullptr;
  HWND active = ::GetActiveWindow();
  for (const FormWindow* window : FormWindow::All()) {
    HWND frame = window->Frame();
    if (!frame || !::IsWindowVisible(frame)) continue;
    if (frame == active) return frame;
    if (!fallback) fallback = frame;
  }
  return fallback;
}

UINT IconStyle(MsgBoxIcon icon) {
  switch (icon) {
    case MsgBoxIcon::kCritical:
      return MB_ICONERROR;
    case MsgBoxIcon::kQuestion:
      return MB_ICONQUESTION;
    case MsgBoxIcon::kExclamation:
      return MB_ICONWARNING;
    case MsgBoxIcon::kInformation:
      return MB_ICONINFORMATION;
    case MsgBoxIcon::kNone:
      break;
  }
  return 0;
}

UINT ButtonStyle(MsgBoxButtons buttons) {
  switch (buttons) {
    case MsgBoxButtons::kOk:
      return MB_OK;
    case MsgBoxButtons::kOkCancel:
      return MB_OKCANCEL;
    case MsgBoxButtons::kYesNo:
      return MB_YESNO;
    case MsgBoxButtons::kYesNoCancel:
      return MB_YESNOCANCEL;
    case MsgBoxButtons::kRetryCancel:
      return MB_RETRYCANCEL;
    case MsgBoxButtons::kAbortRetryIgnore:
      return MB_ABORTRETRYIGNORE;
  }
  return MB_OK;
}

// A box closed without a button (Escape, the close box) answers Cancel where it has one.
MsgBoxResult Answer(MsgBoxButtons buttons, int id) {
  switch (id) {
    case IDOK:
      return MsgBoxResult::kOk;
    case IDCANCEL:
      return MsgBoxResult::kCancel;
    case IDYES:
      return MsgBoxResult::kYes;
    case IDNO:
      return MsgBoxResult::kNo;
    case IDRETRY:
      return MsgBoxResult::kRetry;
    case IDABORT:
      return MsgBoxResult::kAbort;
    case IDIGNORE:
      return MsgBoxResult::kIgnore;
    default:
      return DefaultAnswer(buttons);
  }
}

// One message through the binding: keyboard navigation first, then its window.
void Dispatch(MSG& message) {
  if (PreTranslate(message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

}  // namespace

class Win32Host::Libraries {
 public:
  Libraries() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
  }

 private:
  ImageLibrary images_;
};

// Stop requests from outside (console control events) close every open form as the end of the
// session does, from the message loop.
class Win32Host::StopWatch {
 public:
  StopWatch() {
    self_ = this;
    id_ = ::SetTimer(nullptr, 0, kStopPollMs, &Poll);
  }
  ~StopWatch() {
    if (id_) ::KillTimer(nullptr, id_);
    self_ = nullptr;
  }
  StopWatch(const StopWatch&) = delete;
  StopWatch& operator=(const StopWatch&) = delete;

 private:
  static void CALLBACK Poll(HWND /*window*/, UINT /*message*/, UINT_PTR /*id*/, DWORD /*time*/) {
    if (!self_ || self_->requests_.TakeRequests() == 0) return;
    // A window may refuse, or close others from its handlers: each is looked at afresh.
    for (FormWindow* window : FormWindow::All()) {
      Form* form = window->Model();
      if (!form || form->IsClosed()) continue;
      HandlerScope scope;
      form->Close(CloseReason::kSessionEnding);
    }
  }

  static inline StopWatch* self_ = nullptr;
  platform::InterruptWatch requests_;
  UINT_PTR id_ = 0;
};

Win32Host::Win32Host(std::string default_title)
    : default_title_(std::move(default_title)),
      libraries_(std::make_unique<Libraries>()),
      stop_watch_(std::make_unique<StopWatch>()) {}

Win32Host::~Win32Host() {
  stop_watch_.reset();
  SetBusy(false);
}

MsgBoxResult Win32Host::MsgBox(MsgBoxIcon icon, std::string_view text, MsgBoxButtons buttons,
                               std::string_view title) {
  if (ended_) return DefaultAnswer(buttons);
  const std::wstring wide_text = Wide(text);
  const std::wstring wide_title = Wide(title.empty() ? default_title_ : title);
  HWND owner = ActiveVisibleWindow();
  // Without an owner the box would hide behind other programs' windows.
  const UINT flags =
      ButtonStyle(buttons) | IconStyle(icon) | (owner ? 0u : MB_TOPMOST) | MB_SETFOREGROUND;
  const int id = ::MessageBoxW(owner, wide_text.c_str(), wide_title.c_str(), flags);
  return Answer(buttons, id);
}

void Win32Host::DoEvents() {
  if (ended_) return;
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The loop that asked to end is further out; it must still see its request.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
    if (ended_) return;
  }
}

void Win32Host::Sleep(int ms) {
  if (ms > 0 && !ended_) ::Sleep(static_cast<DWORD>(ms));
}

std::chrono::system_clock::time_point Win32Host::Now() { return std::chrono::system_clock::now(); }

int64_t Win32Host::MonotonicMs() {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  return duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Win32Host::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  SetBusyCursor(busy);
}

bool Win32Host::CloseWindow(Form& form) { return form.Close(CloseReason::kFromCode); }

void Win32Host::EndProcess(int code) {
  if (ended_) return;
  ended_ = true;
  exit_code_ = code;
  stop_watch_.reset();
  // Each frame goes once the handler that called us has returned.
  for (FormWindow* window : FormWindow::All()) window->Shutdown();
  ::PostQuitMessage(code);
}

void Win32Host::RunMessageLoop() {
  CollectRetired();
  MSG message;
  while (!ended_ && FormWindow::AnyFrame()) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    Dispatch(message);
    CollectRetired();
  }
  CollectRetired();
}

}  // namespace nd::ui::win32
