// `Check6` on page 4 shows and switches the machine's policy of wiping the paging file at
// shutdown. It is the system's value, not one of the program's settings: read at start-up,
// written at every click, and only with administrator rights.
#pragma once

#include "wizard/start_form.h"

namespace nd::wizard {

// With rights, stores the tick as the policy (1 or 0; a failed write leaves the tick as it is).
// Without, refuses a tick with the RUN-AS-ADMIN message and clears the box again.
void Check6_Click(Start& w);

// Ticks the box, through its click, exactly when the policy reads 1. Where the system has no
// such policy the box stays cleared.
void RestorePagingFileOption(Start& w);

}  // namespace nd::wizard
