// Plays through libcanberra, which reaches the desktop's sound server. One context serves the
// whole process so that each play can cancel the previous one.
#include <canberra.h>

#include "platform/files.h"
#include "platform/sound.h"

namespace nd::platform {
namespace {

constexpr uint32_t kSoundId = 1;

ca_context* SharedContext() {
  static ca_context* context = [] {
    ca_context* made = nullptr;
    if (ca_context_create(&made) != CA_SUCCESS) return static_cast<ca_context*>(nullptr);
    return made;
  }();
  return context;
}

}  // namespace

void PlaySoundFile(const std::string& path) noexcept {
  ca_context* context = SharedContext();
  if (context == nullptr) return;
  ca_context_cancel(context, kSoundId);
  // Without the file there must be silence, not a theme's fallback sound.
  if (!IsRegularFile(path)) return;
  ca_context_play(context, kSoundId, CA_PROP_MEDIA_FILENAME, path.c_str(), nullptr);
}

}  // namespace nd::platform
