#include "shell/command_line.h"

#include <string>

#include "localisation/translation_report.h"
#include "online/browser_handoff.h"
#include "online/server.h"
#include "online/update_check.h"
#include "platform/clock_text.h"
#include "platform/self_removal.h"
#include "shell/shortcuts.h"
#include "shell/uninstaller.h"
#include "system/settings_keys.h"

namespace nd::shell {
namespace {

using wizard::Start;

// Closes the main window as the program does: never refused, leftover work folders swept.
void CloseMainWindow(Start& w) { w.svc.host.CloseWindow(w); }

void EndAfter(Start& w) {
  CloseMainWindow(w);
  w.svc.host.EndProcess(0);
}

void OpenSecondWindow(Start& w, const std::string& mode) {
  if (w.svc.open_second_window) w.svc.open_second_window(mode);
  CloseMainWindow(w);
}

void Updates(Start& w) {
  online::StoreUpdateCheckTime(w.svc.context, w.svc.host);
  online::OpenServerPage(w.svc.context, w.svc.host, "updates", "", false);
  EndAfter(w);
}

void Install(Start& w) {
  Context& context = w.svc.context;
  const bool stamped = !Get(context.settings, settings::kReloadMonth).empty();
  online::OpenServerPage(context, w.svc.host, stamped ? "reinstall" : "install", "", false);
  CreateShortcutSet(context, online::OpenServerPage(context, w.svc.host, "site", "", true));
  const platform::LocalDate today = platform::LocalDateOf(w.svc.host.Now());
  Save(context.settings, settings::kReloadMonth, std::to_string(today.month));
  Save(context.settings, settings::kReloadYear, std::to_string(today.year));
  RegisterProgram(context);
  EndAfter(w);
}

void Uninstall(Start& w) {
  UninstallServices services;
  services.open_uninstall_page = [&w] {
    online::OpenServerPage(w.svc.context, w.svc.host, "uninstall", "", false);
  };
  services.launch_script = platform::StartRemovalScript;
  RunUninstaller(w.svc.context, w.svc.host, services);
  EndAfter(w);
}

void Vard(Start& w) {
  TranslationReport(w.svc.context, w.svc.host,
                    [&w](const std::string& path) { online::OpenInBrowser(w.svc.host, path); });
  EndAfter(w);
}

}  // namespace

Mode ModeOf(std::string_view argument_text) {
  struct Word {
    std::string_view text;
    Mode mode;
  };
  static constexpr Word kWords[] = {
      {"lang", Mode::kLang},       {"subscribe", Mode::kSubscribe}, {"updates", Mode::kUpdates},
      {"install", Mode::kInstall}, {"uninstall", Mode::kUninstall}, {"vard", Mode::kVard}};
  for (const Word& word : kWords) {
    if (argument_text == word.text) return word.mode;
  }
  return Mode::kWizard;
}

bool RunCommandLineMode(Start& w) {
  switch (ModeOf(w.svc.command_line)) {
    case Mode::kWizard:
      return false;
    case Mode::kLang:
      OpenSecondWindow(w, "lang");
      break;
    case Mode::kSubscribe:
      OpenSecondWindow(w, "subscribe");
      break;
    case Mode::kUpdates:
      Updates(w);
      break;
    case Mode::kInstall:
      Install(w);
      break;
    case Mode::kUninstall:
      Uninstall(w);
      break;
    case Mode::kVard:
      Vard(w);
      break;
  }
  return true;
}

}  // namespace nd::shell
