// Entry point of the wizard: builds the process-wide context, the main window and its desktop
// binding, runs the start-up and hands over to the toolkit's message loop.
#include <wx/app.h>
#include <wx/display.h>
#include <wx/image.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "engine/standby.h"
#include "engine/volume_access.h"
#include "localisation/context.h"
#include "online/download.h"
#include "online/second_form.h"
#include "online/second_window.h"
#include "platform/paths.h"
#include "platform/power.h"
#include "platform/sound.h"
#include "shell/second_copies.h"
#include "shell/start_window.h"
#include "shell/startup.h"
#include "system/environment_probe.h"
#include "ui/wx/form_window.h"
#include "ui/wx/wx_host.h"
#include "wizard/start_form.h"

namespace {

// Set when the program ended by its own decision rather than by the message loop running out.
std::optional<int> g_exit_code;

// For translators: with NULLDRIFT_FIT_LOG naming a file, every caption that needs more room
// than its control has is appended to it as "<window> <control>: <caption>".
nd::ui::wx::OverflowReport FitLog(const std::string& window) {
  const char* path = std::getenv("NULLDRIFT_FIT_LOG");
  if (!path || !*path) return {};
  return [file = std::string(path), window](const std::string& control, const std::string& text) {
    std::ofstream(file, std::ios::app) << window << ' ' << control << ": " << text << '\n';
  };
}

class NulldriftApp : public wxApp {
 public:
  bool OnInit() override {
    wxInitAllImageHandlers();
    context_ = std::make_unique<nd::Context>(
        nd::Context{nd::ProbeEnvironment(), {}, nd::SettingsStore::ForCurrentUser()});
    host_ = std::make_unique<nd::ui::wx::WxHost>();
    volumes_ = nd::engine::MakeSystemVolumeAccess();
    blocker_ = nd::platform::MakeSystemSleepBlocker();
    if (blocker_->Available()) power_hook_ = std::make_unique<nd::engine::PowerHook>(*blocker_);

    nd::wizard::StartServices services{
        *context_,
        *host_,
        *volumes_,
        nd::ClockSeededRandom(),
        power_hook_.get(),
        [](const std::string& path) { nd::platform::PlaySoundFile(path); },
        [] { nd::platform::PowerOff(); },
        [this](const std::string&) { return view_ && view_->BackgroundLoaded(); },
        CommandLineText(),
        [this](const std::string& mode) { OpenSecondWindow(mode); },
        [this](const std::string& mode) {
          return nd::shell::StartSecondCopy(context_->env, mode);
        }};
    window_ = std::make_unique<nd::wizard::Start>(std::move(services));
    nd::shell::WireStart(*window_);
    view_ = std::make_unique<nd::ui::wx::FormWindow>(*window_, Options());

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
    nd::online::SecondServices services{
        *context_, *host_, [] { return wxDisplay(0u).GetScaleFactor(); },
        [this](const std::string& url, const std::string& path, size_t length) {
          return nd::online::DownloadToFile(*host_, url, path, length);
        }};
    second_ = std::make_unique<nd::online::SecondForm>(std::move(services));
    nd::online::WireSecondForm(*second_);
    nd::ui::wx::WindowOptions options;
    options.client_width_twips = nd::online::kSecondWidth;
    options.client_height_twips = nd::online::kSecondHeight;
    // The wizard's background, where it can be read; the plain window colour otherwise.
    options.background_file =
        nd::platform::JoinPath(context_->env.program_folder, "program-back.jpg");
    options.pictures = Pictures();
    for (const std::string& name : nd::online::SecondHeadingLabels()) {
      options.heading_labels.insert(name);
    }
    options.overflow = FitLog("second");
    second_view_ = std::make_unique<nd::ui::wx::FormWindow>(*second_, options);
    nd::online::SecondForm_Load(*second_);
    nd::online::ShowSecondPage(*second_, mode == "lang" ? nd::online::SecondPage::kLanguage
                                                        : nd::online::SecondPage::kNewsletter);
  }

  // Status pictures and icons by name, from the program folder; a full path (a flag) as it is.
  nd::ui::wx::PictureResolver Pictures() const {
    const std::string folder = context_->env.program_folder;
    return [folder](const std::string& name) {
      const std::string path =
          nd::platform::IsAbsolutePath(name)
              ? name
              : nd::platform::JoinPath(nd::platform::JoinPath(folder, "pictures"), name + ".png");
      return name.empty() || !nd::FileExists(path) ? std::string() : path;
    };
  }

  nd::ui::wx::WindowOptions Options() const {
    nd::ui::wx::WindowOptions options;
    options.client_width_twips = nd::wizard::kStartWidth;
    options.client_height_twips = nd::wizard::kStartHeight;
    const std::string folder = context_->env.program_folder;
    options.background_file = nd::platform::JoinPath(folder, "program-back.jpg");
    options.pictures = Pictures();
    for (const std::string& name : nd::wizard::HeadingLabels()) options.heading_labels.insert(name);
    for (const std::string& name : nd::wizard::LinkLabels()) options.link_labels.insert(name);
    options.overflow = FitLog("wizard");
    return options;
  }

  std::unique_ptr<nd::Context> context_;
  std::unique_ptr<nd::ui::wx::WxHost> host_;
  std::unique_ptr<nd::engine::VolumeAccess> volumes_;
  std::unique_ptr<nd::platform::SleepBlocker> blocker_;
  std::unique_ptr<nd::engine::PowerHook> power_hook_;
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
