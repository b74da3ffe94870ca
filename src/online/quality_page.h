// The quality-improvement page: records whether the user joins, then ends the program.
#pragma once

#include "online/second_form.h"

namespace nd::online {

// Save.
void Command8_Click(SecondForm& f);

}  // namespace nd::online
