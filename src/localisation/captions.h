// Setting a window's captions from the language file, one section at a time.
#pragma once

#include <initializer_list>
#include <string_view>

#include "localisation/text_lookup.h"
#include "ui/control.h"

namespace nd {

struct CaptionKey {
  ui::Control& control;
  const char* key;
};

// Each control's caption becomes the text of its key in `section`.
inline void SetCaptions(const LanguageState& language, std::string_view section,
                        std::initializer_list<CaptionKey> captions) {
  for (const CaptionKey& c : captions) c.control.SetCaption(LookupText(language, section, c.key));
}

}  // namespace nd
