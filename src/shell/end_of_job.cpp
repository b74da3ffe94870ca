#include "shell/end_of_job.h"

#include <string>

#include "engine/job_log.h"
#include "localisation/text_lookup.h"
#include "platform/paths.h"
#include "system/environment_probe.h"
#include "system/settings_keys.h"

namespace nd::shell {
namespace {

constexpr int kPlays = 25;
constexpr int16_t kCountdownSeconds = 20;
constexpr int kSecondsToWaitForShutdown = 15;

std::string Interface(wizard::Start& w, const char* key) {
  return LookupText(w.svc.context.language, "INTERFACE", key);
}

}  // namespace

void EndOfJobHandOver(wizard::Start& w) {
  const bool stopped = w.job_state.StopRequested;
  if (Get(w.svc.context.settings, settings::kPlaySound).empty()) {
    w.SoundPlayCount = 0;
    PlayWAV_Timer(w);
    if (!stopped) w.PlayWAV.SetEnabled(true);
  }
  if (w.Check1.Value() != 0 && !stopped) {
    w.Label21.SetCaption(Interface(w, "INITIATINGSHUTDOWN"));
    w.turnoff.SetEnabled(true);
    w.PowerOffCountdown = kCountdownSeconds;
  } else {
    w.Label21.SetCaption("");
  }
}

void PlayWAV_Timer(wizard::Start& w) {
  const Environment& env = w.svc.context.env;
  engine::TraceStep(env, "SOUND");
  if (w.svc.play_sound) w.svc.play_sound(platform::JoinPath(env.program_folder, "sound.wav"));
  ++w.SoundPlayCount;
  if (w.SoundPlayCount > kPlays - 1) w.PlayWAV.SetEnabled(false);
  engine::TraceStep(env, "");
}

void turnoff_Timer(wizard::Start& w) {
  if (w.PowerOffCountdown >= 0) {
    w.Label21.SetCaption(Interface(w, "YOURPCTURNOFF1") + " " +
                         std::to_string(w.PowerOffCountdown) + " " + Interface(w, "SECONDS"));
  }
  --w.PowerOffCountdown;
  if (w.PowerOffCountdown == -1) {
    w.Label21.SetCaption(Interface(w, "SHUTDOWN"));
    RequestSystemExit(w, 1);
  }
  if (w.PowerOffCountdown < -kSecondsToWaitForShutdown) {
    w.Label21.SetCaption(Interface(w, "SHUTDOWNPROBLEM"));
    w.turnoff.SetEnabled(false);
    engine::TraceStep(w.svc.context.env, "SHUTDOWNPROBLEM");
  }
}

void RequestSystemExit(wizard::Start& w, int mode) {
  if ((mode == 1 || mode == 8) && w.svc.power_off) w.svc.power_off();
}

}  // namespace nd::shell
