// The command line's one-shot modes. Only the wizard exists so far: every command line starts
// it.
#pragma once

#include "wizard/start_form.h"

namespace nd::shell {

// Runs the mode that the command line names and returns true when it has taken over (the
// main window is then never shown); false for an ordinary start of the wizard.
bool RunCommandLineMode(wizard::Start& w);

}  // namespace nd::shell
