// The command line's one-shot modes: a mode word as the whole argument text makes the program
// do one task instead of showing the wizard.
#pragma once

#include <string_view>

#include "wizard/start_form.h"

namespace nd::shell {

enum class Mode { kWizard, kLang, kSubscribe, kUpdates, kInstall, kUninstall, kVard };

// The mode that the argument text names: only an exact mode word counts, with case and with
// nothing else on the line; anything else is the wizard.
Mode ModeOf(std::string_view argument_text);

// Runs the mode that the command line names and returns true when it has taken over (the
// main window is then never shown); false for an ordinary start of the wizard.
bool RunCommandLineMode(wizard::Start& w);

}  // namespace nd::shell
