#include "shell/start_window.h"

#include "engine/cleaning_job.h"
#include "engine/progress.h"
#include "engine/stop_button.h"
#include "shell/closing.h"
#include "shell/end_of_job.h"
#include "shell/second_copies.h"
#include "wizard/disk_list.h"
#include "wizard/navigation.h"
#include "wizard/option_pages.h"
#include "wizard/paging_file_option.h"
#include "wizard/run_history.h"

namespace nd::shell {

using wizard::Start;

void worknow_Timer(Start& w) {
  w.worknow.SetEnabled(false);
  engine::StartCleaningJob(w.job, wizard::SelectedDiskLetters(w));
  if (w.close_after_job) {
    w.close_after_job = false;
    if (w.svc.host.CloseWindow(w)) w.svc.host.EndProcess(0);
  }
}

void WireStart(Start& w) {
  w.Command1.OnClick = [&w] { wizard::Command1_Click(w); };
  w.Command2.OnClick = [&w] { wizard::Command2_Click(w); };
  w.Command4.OnClick = [&w] { engine::Command4_Click(w.job); };
  w.Check7.OnClick = [&w] { wizard::Check7_Click(w); };
  w.DiskImage.OnClick = [&w](int i) { wizard::DiskTile_Click(w, i); };
  w.DiskLabel.OnClick = [&w](int i) { wizard::DiskTile_Click(w, i); };
  w.DiskListRefresher.OnTimer = [&w] { wizard::DiskListRefresher_Timer(w); };
  w.Check9.OnClick = [&w] { wizard::Check9_Click(w); };
  w.Label22.OnClick = [&w] { wizard::Label22_Click(w); };
  w.Label12.OnClick = [&w] { Label12_Click(w); };
  w.Label43.OnClick = [&w] { Label43_Click(w); };
  w.Label46.OnClick = [&w] { Label46_Click(w); };
  w.Label24.OnClick = [&w] { Label24_Click(w); };
  for (int n = 1; n <= 10; ++n) w.OptionNumber(n).OnClick = [&w, n] { wizard::Option_Click(w, n); };
  w.Check3.OnClick = [&w] { wizard::Check3_Click(w); };
  w.Check4.OnClick = [&w] { wizard::Check4_Click(w); };
  w.Check5.OnClick = [&w] { wizard::Check5_Click(w); };
  w.Check6.OnClick = [&w] { wizard::Check6_Click(w); };
  w.worknow.OnTimer = [&w] { worknow_Timer(w); };
  w.PlayWAV.OnTimer = [&w] { PlayWAV_Timer(w); };
  w.turnoff.OnTimer = [&w] { turnoff_Timer(w); };
  w.OnQueryUnload = [&w](ui::CloseReason reason) { return Start_QueryUnload(w, reason); };
  w.job.end_of_job_actions = [&w] { EndOfJobHandOver(w); };
  w.job.show_report_page = [&w] { wizard::ShowPage(w, wizard::kLastPage); };
}

}  // namespace nd::shell
