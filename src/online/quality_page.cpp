#include "online/quality_page.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "system/environment_probe.h"
#include "system/settings_keys.h"

namespace nd::online {

void Command8_Click(SecondForm& f) {
  Context& context = f.svc.context;
  ui::Host& host = f.svc.host;
  if (f.Check1.Value()) {
    f.Command8.SetEnabled(false);
    host.SetBusy(true);
    const std::string stale = platform::JoinPath(context.env.data_folder, "cip.txt");
    if (FileExists(stale)) platform::RemoveFile(stale);
    host.SetBusy(false);
    f.Command8.SetEnabled(true);
    Save(context.settings, settings::kCip, "YES");
    host.MsgBox(ui::MsgBoxIcon::kInformation, LookupText(context.language, "CIP", "THANKS"),
                ui::MsgBoxButtons::kOk, kProductName);
  } else {
    Save(context.settings, settings::kCip, "NO");
  }
  host.CloseWindow(f);
  host.EndProcess(0);
}

}  // namespace nd::online
