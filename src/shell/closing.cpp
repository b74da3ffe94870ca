#include "shell/closing.h"

#include "engine/progress.h"
#include "engine/stop_button.h"
#include "engine/work_folder.h"
#include "localisation/text_lookup.h"

namespace nd::shell {

bool Start_QueryUnload(wizard::Start& w, ui::CloseReason reason) {
  if (w.JobRunning()) {
    if (reason == ui::CloseReason::kUserClose) {
      w.svc.host.MsgBox(ui::MsgBoxIcon::kInformation,
                        LookupText(w.svc.context.language, "VERSION3", "STOP-OPERATIONS-FIRST"),
                        ui::MsgBoxButtons::kOk, wizard::kProgramTitle);
      return true;
    }
    // Closing now would leave the job running on a destroyed window and its work folder full
    // of filler: stop it as Stop does, so that it deletes what it wrote, and close after.
    w.close_after_job = true;
    if (!w.job_state.StopRequested && w.Command4.Enabled()) engine::Command4_Click(w.job);
    w.job_state.StopRequested = true;
    return true;
  }
  w.Hide();
  w.svc.host.DoEvents();
  engine::RemoveLeftoverWorkFolders(w.svc.context, w.svc.host, w.svc.volumes);
  return false;
}

}  // namespace nd::shell
