// Entry point. The wizard window is not built yet; until then the program probes its
// environment, reads its language files and settings, and reports what it found.
#include <cstdio>
#include <string>

#include "localisation/context.h"
#include "shell/stored_language.h"
#include "system/settings_keys.h"

namespace {

void Show(const char* name, const std::string& value) {
  std::printf("  %-22s %s\n", name, value.c_str());
}

}  // namespace

int main() {
  nd::Context context{nd::ProbeEnvironment(), {}, nd::SettingsStore::ForCurrentUser()};
  const nd::Environment& env = context.env;
  const nd::SettingsStore& settings = context.settings;

  nd::UseStoredLanguage(context);
  const nd::LanguageState& language = context.language;
  nd::Texts text(language);

  std::printf("Nulldrift %s %s\n\n", env.version_text.c_str(), language.current_language.c_str());
  std::printf(
      "The wizard window is not built yet. This build probes the environment and\n"
      "reads the language files and settings; this is what it found:\n\n");
  Show("program folder", env.program_folder);
  Show("data folder", env.data_folder);
  Show("temporary folder", env.temp_folder);
  Show("menu entries folder", env.common_programs_folder);
  Show("desktop folder", env.common_desktop_folder);
  Show("settings folder", settings.folder());
  Show("system volume letter", env.system_drive_letter);
  Show("kernel major version", std::to_string(env.os_version));
  Show("administrator", env.is_administrator ? "yes" : "no");
  Show("language charset", std::to_string(language.charset));
  std::printf("\nFirst texts of the wizard:\n");
  Show("welcome", text("INTERFACE", "LABEL1"));
  Show("next button", text("INTERFACE", "COMMAND1"));
  Show("cleaning way 1", text("VERSION3", "MODE1"));
  Show("cleaning way 2", text("VERSION3", "MODE2"));
  return 0;
}
