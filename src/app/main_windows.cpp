// Entry point of the wizard on Windows: the program's parts, the Win32 binding of its windows,
// the start-up and the thread's message loop.
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <shellapi.h>

#include <memory>
#include <string>

#include "app/program_parts.h"
#include "online/second_window.h"
#include "platform/windows/win_text.h"
#include "shell/startup.h"
#include "system/registry.h"
#include "ui/win32/form_window.h"
#include "ui/win32/win32_host.h"

namespace {

// Everything after the program's name on the command line, the words joined by one blank.
std::string CommandLineText() {
  int count = 0;
  LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::string text;
  for (int i = 1; words && i < count; ++i) {
    if (i > 1) text += ' ';
    text += nd::platform::win::Narrow(words[i]);
  }
  if (words) ::LocalFree(words);
  return text;
}

class Program {
 public:
  Program() : host_(nd::wizard::kProgramTitle), parts_(host_) {}

  int Run() {
    window_ =
        parts_.MakeStart({CommandLineText(),
                          [this](const std::string&) { return view_ && view_->BackgroundLoaded(); },
                          [this](const std::string& mode) { OpenSecondWindow(mode); }});
    view_ = std::make_unique<nd::ui::win32::FormWindow>(*window_, parts_.StartOptions());
    if (nd::shell::Start_Load(*window_) && !host_.Ended()) {
      window_->Show();
    } else if (host_.Ended() || !second_ || second_->IsClosed()) {
      // A one-shot mode; or one that handed over to the second window, which then runs alone.
      return Finish(0);
    }
    host_.RunMessageLoop();
    return Finish(0);
  }

 private:
  int Finish(int code) {
    if (host_.Ended()) code = host_.ExitCode();
    if (second_view_) second_view_->Shutdown();
    if (view_) view_->Shutdown();
    nd::ui::win32::CollectRetired();
    second_view_.reset();
    second_.reset();
    view_.reset();
    window_.reset();
    return code;
  }

  void OpenSecondWindow(const std::string& mode) {
    second_ = parts_.MakeSecond([] {
      nd::RegistryAccess registry;
      return nd::online::RegistryDisplayAtStandardScale(registry);
    });
    second_view_ = std::make_unique<nd::ui::win32::FormWindow>(*second_, parts_.SecondOptions());
    nd::online::SecondForm_Load(*second_);
    nd::online::ShowSecondPage(*second_, mode == "lang" ? nd::online::SecondPage::kLanguage
                                                        : nd::online::SecondPage::kNewsletter);
  }

  nd::ui::win32::Win32Host host_;
  nd::app::ProgramParts parts_;
  std::unique_ptr<nd::wizard::Start> window_;
  std::unique_ptr<nd::ui::win32::FormWindow> view_;
  std::unique_ptr<nd::online::SecondForm> second_;
  std::unique_ptr<nd::ui::win32::FormWindow> second_view_;
};

}  // namespace

int main() {
  Program program;
  return program.Run();
}
