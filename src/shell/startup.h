// The main window's start-up: after the environment and the language are known, it dresses
// the window in the language's texts and fonts, restores the user's choices and opens the
// first page.
#pragma once

#include <string>

#include "wizard/start_form.h"

namespace nd::shell {

// The fixed message when the background picture is missing.
inline constexpr const char* kNoBackgroundMessage = "No background image! Reinstall program!";

// "Nulldrift 3.52 English".
std::string WindowTitle(const Environment& env, const LanguageState& language);

// Runs the start-up sequence on `w`. False when the program has ended instead (a picture that
// cannot be shown, or a one-shot mode of the command line); the window must then not be shown.
bool Start_Load(wizard::Start& w);

}  // namespace nd::shell
