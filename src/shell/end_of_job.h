// What happens when a job has ended: the sound that calls the user back, repeated for two
// minutes, and the automatic power-off after a twenty-second countdown on the report page.
#pragma once

#include "wizard/start_form.h"

namespace nd::shell {

// Called by the job before it shows the report page.
void EndOfJobHandOver(wizard::Start& w);
void PlayWAV_Timer(wizard::Start& w);
void turnoff_Timer(wizard::Start& w);
// 1 and 8 switch the machine off; every other mode does nothing here.
void RequestSystemExit(wizard::Start& w, int mode);

}  // namespace nd::shell
