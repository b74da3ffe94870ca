// The second window's start-up, its page switch and the wiring of its events.
#pragma once

#include "online/second_form.h"

namespace nd::online {

enum class SecondPage { kLanguage, kNewsletter };

// Texts, the display-scale check, the language list and the stored answers.
void SecondForm_Load(SecondForm& f);
// Shows the window on `page`, the others hidden.
void ShowSecondPage(SecondForm& f, SecondPage page);
void WireSecondForm(SecondForm& f);

// The fixed warning for a display that is not at the 96-DPI scale.
inline constexpr const char* kDisplayScaleMessage =
    "Please set your display settings to 96 DPI.\n\nIn other case the program wont appear "
    "properly!";

}  // namespace nd::online
