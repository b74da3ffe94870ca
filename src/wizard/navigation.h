// The wizard's page machine: ShowPage, Next and Back, and the welcome page's check box that
// skips the welcome page on later starts.
#pragma once

#include "wizard/start_form.h"

namespace nd::wizard {

// Shows page `n` (1-7) and only it; the disk page also rebuilds its lists and runs its timer.
void ShowPage(Start& w, int n);
void Command1_Click(Start& w);
void Command2_Click(Start& w);
void Check7_Click(Start& w);

}  // namespace nd::wizard
