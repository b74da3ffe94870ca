// Pages 3 and 4 and the sound box of the working page: every option saves its setting the
// moment it is clicked, and start-up selects them again from the settings.
#pragma once

#include "wizard/start_form.h"

namespace nd::wizard {

// Option1_Click ... Option10_Click: saves the choice of button `n` when it is selected.
void Option_Click(Start& w, int n);
void Check3_Click(Start& w);
void Check4_Click(Start& w);
void Check5_Click(Start& w);

// Selects the NTFS mode and the cleaning way from the settings; an unknown stored value leaves
// its group without a selection.
void RestoreModeAndWay(Start& w);
// Method 2 first, then the stored method when it unscrambles to 1-5.
void RestoreMethod(Start& w);
// The Recycle Bin, sound and stand-by boxes; stand-by is cleared and disabled where it cannot
// work.
void RestoreChecks(Start& w);

}  // namespace nd::wizard
