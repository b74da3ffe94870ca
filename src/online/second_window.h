// The second window's start-up, its page switch and the wiring of its events.
#pragma once

#include <string_view>

#include "online/second_form.h"
#include "system/registry.h"

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

// Where Windows keeps the scale it applies to the desktop, a DWORD of dots per inch.
inline constexpr const char* kAppliedDpiValue =
    "HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics\\AppliedDPI";
// Whether the AppliedDPI value, as the registry access renders it ("60 00 00 00 " at 96 DPI),
// means the standard scale. A missing value reads as "" and does not.
bool AppliedDpiIsStandard(std::string_view applied_dpi);
bool RegistryDisplayAtStandardScale(RegistryAccess& registry);

}  // namespace nd::online
