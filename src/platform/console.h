// The console the headless runner writes to.
#pragma once

#include <cstdio>

namespace nd::platform {

// True when `stream` is an interactive terminal, which can redraw a line in place.
bool IsTerminal(std::FILE* stream) noexcept;

}  // namespace nd::platform
