#include "shell/second_copies.h"

#include "online/server.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace nd::shell {
namespace {

using wizard::Start;

// True when the copy runs. A copy that cannot start (the program file moved or deleted) is
// reported, and the wizard stays, so the user is not left without a window.
bool Launch(Start& w, const std::string& mode) {
  if (w.svc.start_second_copy && w.svc.start_second_copy(mode)) return true;
  const Environment& env = w.svc.context.env;
  w.svc.host.MsgBox(ui::MsgBoxIcon::kCritical,
                    "The program file " +
                        platform::JoinPath(env.program_folder, env.executable_name) +
                        " cannot be started. Reinstall program!",
                    ui::MsgBoxButtons::kOk, kProductName);
  return false;
}

void LaunchInstead(Start& w, const std::string& mode) {
  if (!Launch(w, mode)) return;
  w.svc.host.CloseWindow(w);
  w.svc.host.EndProcess(0);
}

}  // namespace

bool StartSecondCopy(const Environment& env, const std::string& mode) {
  return platform::Spawn(platform::JoinPath(env.program_folder, env.executable_name), {mode});
}

void Label12_Click(Start& w) { LaunchInstead(w, "lang"); }

void Label43_Click(Start& w) { Launch(w, "updates"); }

void Label46_Click(Start& w) { LaunchInstead(w, "subscribe"); }

void Label24_Click(Start& w) {
  online::OpenServerPage(w.svc.context, w.svc.host, "site", "", false);
}

}  // namespace nd::shell
