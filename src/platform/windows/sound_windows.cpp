// The end sound through sndPlaySound: played asynchronously, without the system's default
// sound for a file that cannot be played.
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <mmsystem.h>

#include "platform/files.h"
#include "platform/sound.h"
#include "platform/windows/win_text.h"

namespace nd::platform {

void PlaySoundFile(const std::string& path) noexcept {
  // A null name stops what is playing, so that the new sound starts from its beginning.
  ::sndPlaySoundW(nullptr, 0);
  if (!IsRegularFile(path)) return;
  std::wstring wide = win::WidePath(path);
  if (wide.empty()) return;
  ::sndPlaySoundW(wide.c_str(), SND_ASYNC | SND_NODEFAULT | SND_FILENAME);
}

}  // namespace nd::platform
