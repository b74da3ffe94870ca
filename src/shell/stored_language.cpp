#include "shell/stored_language.h"

#include "system/settings_keys.h"

namespace nd {

void UseStoredLanguage(Context& context) {
  LanguageState& language = context.language;
  language.languages_folder = JoinPath(context.env.program_folder, "Languages");
  language.current_language = Get(context.settings, settings::kLanguage);
  if (language.current_language.empty() ||
      !FileExists(LanguageFilePath(language, language.current_language))) {
    language.current_language = "English";
  }
  language.charset = LanguageCharsetOf(language);
}

}  // namespace nd
