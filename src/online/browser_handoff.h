// Opening a server page or a local report in the user's browser, with a message when there is
// no browser to open it.
#pragma once

#include <string>

#include "ui/host.h"

namespace nd::online {

void OpenInBrowser(ui::Host& host, const std::string& url);

}  // namespace nd::online
