// The main window's closing check: a user's close is refused while a job runs; any other
// close hides the window and sweeps away work folders that interrupted runs left behind.
#pragma once

#include "ui/form.h"
#include "wizard/start_form.h"

namespace nd::shell {

// Returns true to keep the window open. A close that cannot be refused and arrives during a
// job stops the job instead; the window then closes when the job has come to its end.
bool Start_QueryUnload(wizard::Start& w, ui::CloseReason reason);

}  // namespace nd::shell
