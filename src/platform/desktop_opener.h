// Handing a web address or a local file to the desktop's default application.
#pragma once

#include <string>

namespace nd::platform {

// Starts the desktop's opener (xdg-open, else x-www-browser) on `target` without waiting for
// it; false when neither could be started.
bool OpenWithDesktop(const std::string& target);

}  // namespace nd::platform
