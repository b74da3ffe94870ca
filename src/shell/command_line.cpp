#include "shell/command_line.h"

namespace nd::shell {

bool RunCommandLineMode(wizard::Start& /*w*/) { return false; }

}  // namespace nd::shell
