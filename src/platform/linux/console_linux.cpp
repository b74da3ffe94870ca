#include <unistd.h>

#include "platform/console.h"

namespace nd::platform {

bool IsTerminal(std::FILE* stream) noexcept {
  return stream != nullptr && ::isatty(::fileno(stream)) != 0;
}

}  // namespace nd::platform
