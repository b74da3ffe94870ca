// The language choice until the start-up's own selection takes over: the stored language when
// its file is there, else English. Nothing is written.
#pragma once

#include "localisation/context.h"

namespace nd {

void UseStoredLanguage(Context& context);

}  // namespace nd
