// The process-wide values, built once at start-up and passed by reference to every window and
// to the cleaning job. Nothing changes them afterwards; tests build their own with scratch
// folders. It lives here, the lowest layer that knows both the environment and the language,
// so that the engine below the windows can take it too.
#pragma once

#include "localisation/text_lookup.h"
#include "system/environment_probe.h"
#include "system/settings_store.h"

namespace nd {

struct Context {
  Environment env;
  LanguageState language;
  SettingsStore settings;
};

}  // namespace nd
