// The one place where the main window's events meet their handlers, and the job's hooks meet
// the window.
#pragma once

#include "wizard/start_form.h"

namespace nd::shell {

void WireStart(wizard::Start& w);

// The `worknow` tick: the one-shot start of the job with the selected volumes.
void worknow_Timer(wizard::Start& w);

}  // namespace nd::shell
