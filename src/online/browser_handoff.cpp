#include "online/browser_handoff.h"

#include "platform/desktop_opener.h"
#include "system/environment_probe.h"

namespace nd::online {

void OpenInBrowser(ui::Host& host, const std::string& url) {
  if (platform::OpenWithDesktop(url)) return;
  // The address is shown so that the user can copy it into a browser by hand.
  host.MsgBox(ui::MsgBoxIcon::kExclamation,
              "ERROR! Can't find browser to open the following URL:\n" + url,
              ui::MsgBoxButtons::kOk, kProductName);
}

}  // namespace nd::online
