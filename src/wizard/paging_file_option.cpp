#include "wizard/paging_file_option.h"

#include "engine/job_log.h"
#include "localisation/text_lookup.h"

namespace nd::wizard {

void Check6_Click(Start& w) {
  platform::PagingFilePolicy* policy = w.svc.paging_file;
  if (policy == nullptr) {
    w.Check6.SetValue(0);
    return;
  }
  const Environment& env = w.svc.context.env;
  if (!env.is_administrator) {
    // Clearing the box below runs this handler again; that second run has nothing to refuse.
    if (w.Check6.Value() == 0) return;
    w.svc.host.MsgBox(ui::MsgBoxIcon::kCritical,
                      LookupText(w.svc.context.language, "ERRORS", "RUN-AS-ADMIN"),
                      ui::MsgBoxButtons::kOk, kProgramTitle);
    w.Check6.SetValue(0);
    return;
  }
  engine::TraceStep(env, "MEMORYMANAGEMENT");
  policy->Write(w.Check6.Value() != 0);
  engine::TraceStep(env, "");
}

void RestorePagingFileOption(Start& w) {
  platform::PagingFilePolicy* policy = w.svc.paging_file;
  w.Check6.SetValue(policy != nullptr && policy->Read() == 1u ? 1 : 0);
}

}  // namespace nd::wizard
