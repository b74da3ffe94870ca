// The Recycle Bin, emptied without asking, without progress window and without sound.
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <shellapi.h>

#include "platform/trash.h"
#include "platform/windows/mount_list.h"
#include "platform/windows/win_text.h"

namespace nd::platform {
namespace {

constexpr DWORD kQuiet = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;

}  // namespace

void EmptyTrash() noexcept {
  try {
    auto roots = win::ParseDriveList(win::EnvValue(L"NULLDRIFT_MOUNTS"));
    if (!roots) {
      // No root: the Recycle Bins of every drive.
      ::SHEmptyRecycleBinW(nullptr, nullptr, kQuiet);
      return;
    }
    for (const std::string& root : *roots) EmptyVolumeTrash(root);
  } catch (...) {
  }
}

void EmptyVolumeTrash(const std::string& top) noexcept {
  std::wstring wide = win::WidePath(top);
  if (wide.empty()) return;
  // An empty bin answers with an error status; there is nothing to report either way.
  ::SHEmptyRecycleBinW(nullptr, wide.c_str(), kQuiet);
}

}  // namespace nd::platform
