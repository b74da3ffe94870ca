#include "wizard/navigation.h"

#include "localisation/text_lookup.h"
#include "system/settings_keys.h"
#include "wizard/disk_list.h"
#include "wizard/review_page.h"
#include "wizard/run_history.h"

namespace nd::wizard {
namespace {

std::string Interface(Start& w, const char* key) {
  return LookupText(w.svc.context.language, "INTERFACE", key);
}

// Next and Back both cancel the end-of-job sound and a pending power-off first.
void StopEndOfJobTimers(Start& w) {
  w.PlayWAV.SetEnabled(false);
  w.turnoff.SetEnabled(false);
}

}  // namespace

void ShowPage(Start& w, int n) {
  w.Command1.SetVisible(true);
  w.Command2.SetVisible(true);
  w.Command1.SetCaption(Interface(w, "COMMAND1"));
  for (int i : w.win.Indices()) w.win[i].SetVisible(false);
  if (w.win.Contains(n)) w.win[n].SetVisible(true);
  if (n == 2) {
    RefreshDiskList(w);
    RefreshReportList(w);
    w.DiskListRefresher.SetEnabled(true);
  } else {
    w.DiskListRefresher.SetEnabled(false);
  }
  if (n == kLastPage) w.Command1.SetCaption(Interface(w, "FINISH"));
  w.svc.host.DoEvents();
  w.CurrentPage = static_cast<int16_t>(n);
}

void Command1_Click(Start& w) {
  StopEndOfJobTimers(w);
  if (w.CurrentPage == 2 && SelectedDiskLetters(w).empty()) {
    w.svc.host.MsgBox(ui::MsgBoxIcon::kExclamation, Interface(w, "PLEASESELECTONEDISK"),
                      ui::MsgBoxButtons::kOk, kProgramTitle);
    return;
  }
  if (w.CurrentPage == 4) BuildReviewPage(w);
  if (w.CurrentPage == kLastPage) {
    if (w.svc.host.CloseWindow(w)) w.svc.host.EndProcess(0);
    return;
  }
  w.CurrentPage = static_cast<int16_t>(w.CurrentPage + 1);
  ShowPage(w, w.CurrentPage);
  if (w.CurrentPage == 6) {
    w.Command1.SetVisible(false);
    w.Command2.SetVisible(false);
    w.Command4.SetEnabled(true);
    w.job_state.StopRequested = false;
    w.worknow.SetEnabled(true);
  }
}

void Command2_Click(Start& w) {
  StopEndOfJobTimers(w);
  if (w.CurrentPage <= 1) return;
  w.CurrentPage = w.CurrentPage == kLastPage ? int16_t{1} : static_cast<int16_t>(w.CurrentPage - 1);
  ShowPage(w, w.CurrentPage);
}

void Check7_Click(Start& w) {
  Save(w.svc.context.settings, settings::kRunSecondWindow, w.Check7.Value() != 0 ? "YES" : "");
}

}  // namespace nd::wizard
