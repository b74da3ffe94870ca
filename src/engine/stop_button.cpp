#include "engine/stop_button.h"

namespace nd::engine {

void Command4_Click(JobEnvironment& job) {
  job.page.Label14.SetCaption("");
  job.state.StopRequested = true;
  job.state.WorkStatus = kStatusStopped;
  job.page.Command4.SetEnabled(false);
}

}  // namespace nd::engine
