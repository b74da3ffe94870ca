// Entry point of the wizard on Linux: the program's parts, the wxWidgets binding of its windows,
// the start-up and the toolkit's message loop.
#include <wx/app.h>
#include <wx/display.h>
#include <wx/image.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "app/program_parts.h"
#include "online/second_window.h"
#include "shell/startup.h"
#include "ui/wx/form_window.h"
#include "ui/wx/wx_host.h"

namespace {

// Set when the program ended by its own decision rather than by the message loop running out.
std::optional<int> g_exit_code;

class NulldriftApp : public wxApp {
 public:
  bool OnInit() override {
    wxInitAllImageHandlers();
    host_ = std::make_unique<nd::ui::wx::WxHost>();
    parts_ = std::make_unique<nd::app::ProgramParts>(*host_);
    window_ = parts_->MakeStart(
        {CommandLineText(),
         [this](const std::string&) { return view_ && view_->BackgroundLoaded(); },
         [this](const std::string& mode) { OpenSecondWindow(mode); }});
    view_ = std::make_unique<nd::ui::wx::FormWindow>(*window_, parts_->StartOptions());

    if (!nd::shell::Start_Load(*window_) || host_->Ended()) {
      // A mode may have handed over to the second window, which then runs alone.
      if (!host_->Ended() && second_ && !second_->IsClosed()) return true;
      g_exit_code = host_->Ended() ? host_->ExitCode() : 0;
      return false;  // the window is never shown
    }
    window_->Show();
    return true;
  }

  int OnExit() override {
    if (host_ && host_->Ended()) g_exit_code = host_->ExitCode();
    if (second_view_) second_view_->Shutdown();
    if (view_) view_->Shutdown();
    second_view_.reset();
    second_.reset();
    view_.reset();
    window_.reset();
    return wxApp::OnExit();
  }

 private:
  std::string CommandLineText() const {
    std::string text;
    for (int i = 1; i < argc; ++i) {
      if (i > 1) text += ' ';
      text += argv[i].utf8_string();
    }
    return text;
  }

  void OpenSecondWindow(const std::string& mode) {
    second_ =
        parts_->MakeSecond([] { return std::abs(wxDisplay(0u).GetScaleFactor() - 1.0) < 0.01; });
    second_view_ = std::make_unique<nd::ui::wx::FormWindow>(*second_, parts_->SecondOptions());
    nd::online::SecondForm_Load(*second_);
    nd::online::ShowSecondPage(*second_, mode == "lang" ? nd::online::SecondPage::kLanguage
                                                        : nd::online::SecondPage::kNewsletter);
  }

  std::unique_ptr<nd::ui::wx::WxHost> host_;
  std::unique_ptr<nd::app::ProgramParts> parts_;
  std::unique_ptr<nd::wizard::Start> window_;
  std::unique_ptr<nd::ui::wx::FormWindow> view_;
  std::unique_ptr<nd::online::SecondForm> second_;
  std::unique_ptr<nd::ui::wx::FormWindow> second_view_;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(NulldriftApp);

int main(int argc, char** argv) {
  int loop_code = wxEntry(argc, argv);
  return g_exit_code.value_or(loop_code);
}
