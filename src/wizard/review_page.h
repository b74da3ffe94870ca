// Page 5: the summary of what the job is about to do, built when the user leaves page 4.
#pragma once

#include "wizard/start_form.h"

namespace nd::wizard {

// The separator between the way and the NTFS mode; the same in every language.
inline constexpr const char* kFatNtfsSeparator = ", FAT/NTFS: ";

void BuildReviewPage(Start& w);

}  // namespace nd::wizard
