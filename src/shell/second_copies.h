// The main window's links that start another copy of the program in one of its modes, or open
// the vendor's site.
#pragma once

#include <string>

#include "system/environment_probe.h"
#include "wizard/start_form.h"

namespace nd::shell {

// Starts the program's own executable with `mode` as its one argument, without a shell.
bool StartSecondCopy(const Environment& env, const std::string& mode);

// The language name on the welcome page: the language page takes the wizard's place.
void Label12_Click(wizard::Start& w);
// Check for updates: the update page opens while the report stays.
void Label43_Click(wizard::Start& w);
// The newsletter: the sign-up page takes the wizard's place.
void Label46_Click(wizard::Start& w);
// The vendor's site.
void Label24_Click(wizard::Start& w);

}  // namespace nd::shell
