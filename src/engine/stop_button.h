// What the working page's Stop button does: the running step ends after its current unit, and
// the deletion still runs in full.
#pragma once

#include "engine/working_page.h"

namespace nd::engine {

void Command4_Click(JobEnvironment& job);

}  // namespace nd::engine
