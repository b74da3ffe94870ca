#include "platform/desktop_opener.h"
#include "platform/process.h"

namespace nd::platform {

bool OpenWithDesktop(const std::string& target) {
  // x-www-browser is the Debian family's fallback where no desktop opener is installed.
  return Spawn("xdg-open", {target}, {.search_path = true}) ||
         Spawn("x-www-browser", {target}, {.search_path = true});
}

}  // namespace nd::platform
