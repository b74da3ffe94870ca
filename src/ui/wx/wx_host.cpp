#include "ui/wx/wx_host.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <string>

#include "platform/interrupts.h"
#include "ui/form.h"
#include "ui/handler_scope.h"
#include "ui/wx/form_window.h"

namespace nd::ui::wx {
namespace {

// How often the event loop looks for a request to end; the interruption itself may do no more
// than count it.
constexpr int kSignalPollMs = 200;

wxString Text(std::string_view utf8) { return ToolkitText(utf8); }

wxWindow* ActiveVisibleWindow() {
  wxWindow* fallback = nullptr;
  for (wxWindow* window : wxTopLevelWindows) {
    auto* top = dynamic_cast<wxTopLevelWindow*>(window);
    if (!top || !top->IsShown() || top->IsBeingDeleted()) continue;
    if (top->IsActive()) return top;
    if (!fallback) fallback = top;
  }
  return fallback;
}

long IconStyle(MsgBoxIcon icon) {
  switch (icon) {
    case MsgBoxIcon::kCritical:
      return wxICON_ERROR;
    case MsgBoxIcon::kQuestion:
      return wxICON_QUESTION;
    case MsgBoxIcon::kExclamation:
      return wxICON_WARNING;
    case MsgBoxIcon::kInformation:
      return wxICON_INFORMATION;
    case MsgBoxIcon::kNone:
      break;
  }
  return wxICON_NONE;
}

// The toolkit only knows OK, Cancel, Yes and No; the other answers are relabelled buttons, and
// closing the box without a button counts as its last button.
long ButtonStyle(MsgBoxButtons buttons) {
  switch (buttons) {
    case MsgBoxButtons::kOk:
      return wxOK;
    case MsgBoxButtons::kOkCancel:
    case MsgBoxButtons::kRetryCancel:
      return wxOK | wxCANCEL;
    case MsgBoxButtons::kYesNo:
      return wxYES_NO;
    case MsgBoxButtons::kYesNoCancel:
    case MsgBoxButtons::kAbortRetryIgnore:
      return wxYES_NO | wxCANCEL;
  }
  return wxOK;
}

MsgBoxResult Answer(MsgBoxButtons buttons, int id) {
  switch (buttons) {
    case MsgBoxButtons::kOk:
      return MsgBoxResult::kOk;
    case MsgBoxButtons::kOkCancel:
      return id == wxID_OK ? MsgBoxResult::kOk : MsgBoxResult::kCancel;
    case MsgBoxButtons::kYesNo:
      return id == wxID_YES ? MsgBoxResult::kYes : MsgBoxResult::kNo;
    case MsgBoxButtons::kYesNoCancel:
      return id == wxID_YES  ? MsgBoxResult::kYes
             : id == wxID_NO ? MsgBoxResult::kNo
                             : MsgBoxResult::kCancel;
    case MsgBoxButtons::kRetryCancel:
      return id == wxID_OK ? MsgBoxResult::kRetry : MsgBoxResult::kCancel;
    case MsgBoxButtons::kAbortRetryIgnore:
      return id == wxID_YES  ? MsgBoxResult::kAbort
             : id == wxID_NO ? MsgBoxResult::kRetry
                             : MsgBoxResult::kIgnore;
  }
  return MsgBoxResult::kOk;
}

}  // namespace

class WxHost::SignalWatch final : public wxTimer {
 public:
  SignalWatch() { Start(kSignalPollMs); }
  ~SignalWatch() override { Stop(); }
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  void Notify() override {
    if (requests_.TakeRequests() == 0) return;
    // A window may refuse, or close others from its handlers: each is looked at afresh.
    for (FormWindow* window : FormWindow::All()) {
      Form* form = window->Model();
      if (!form || form->IsClosed()) continue;
      HandlerScope scope;
      form->Close(CloseReason::kSessionEnding);
    }
  }

 private:
  platform::InterruptWatch requests_;
};

WxHost::WxHost() : signal_watch_(std::make_unique<SignalWatch>()) {}

WxHost::~WxHost() = default;

MsgBoxResult WxHost::MsgBox(MsgBoxIcon icon, std::string_view text, MsgBoxButtons buttons,
                            std::string_view title) {
  if (ended_) return DefaultAnswer(buttons);
  wxString caption = title.empty() && wxTheApp ? wxTheApp->GetAppDisplayName() : Text(title);
  wxMessageDialog dialog(ActiveVisibleWindow(), Text(text), caption,
                         ButtonStyle(buttons) | IconStyle(icon) | wxCENTRE);
  if (buttons == MsgBoxButtons::kRetryCancel) {
    dialog.SetOKCancelLabels(wxGetTranslation("&Retry"), wxID_CANCEL);
  } else if (buttons == MsgBoxButtons::kAbortRetryIgnore) {
    dialog.SetYesNoCancelLabels(wxGetTranslation("&Abort"), wxGetTranslation("&Retry"),
                                wxGetTranslation("&Ignore"));
  }
  return Answer(buttons, dialog.ShowModal());
}

void WxHost::DoEvents() {
  if (ended_ || !wxTheApp) return;
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
    // YieldFor, unlike Yield, does not object to being called again from a handler it runs.
    loop->YieldFor(wxEVT_CATEGORY_ALL);
    return;
  }
  // Before the main loop runs (a window's start-up code), a loop of our own lets the first
  // windows paint.
  wxGUIEventLoop loop;
  wxEventLoopActivator activate(&loop);
  loop.YieldFor(wxEVT_CATEGORY_ALL);
}

void WxHost::Sleep(int ms) {
  if (ms > 0 && !ended_) wxMilliSleep(static_cast<unsigned long>(ms));
}

std::chrono::system_clock::time_point WxHost::Now() { return std::chrono::system_clock::now(); }

int64_t WxHost::MonotonicMs() {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  return duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void WxHost::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    wxBeginBusyCursor();
  } else {
    wxEndBusyCursor();
  }
}

bool WxHost::CloseWindow(Form& form) { return form.Close(CloseReason::kFromCode); }

void WxHost::EndProcess(int code) {
  if (ended_) return;
  ended_ = true;
  exit_code_ = code;
  signal_watch_.reset();
  // Each frame goes once the handler that called us has returned.
  for (FormWindow* window : FormWindow::All()) window->Shutdown();
  if (wxTheApp && wxTheApp->IsMainLoopRunning()) wxTheApp->ExitMainLoop();
}

}  // namespace nd::ui::wx
