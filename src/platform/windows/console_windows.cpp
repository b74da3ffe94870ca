// A console window redraws the progress line through the terminal escapes ("\r", erase to the
// end of the line), which a console understands once virtual-terminal processing is on.
#include <io.h>
#include <windows.h>

#include "platform/console.h"

namespace nd::platform {

// A redirected stream (a file, a pipe, NUL) is no terminal, although NUL is a character
// device; nor is a console that cannot take the escapes (before Windows 10): the runner then
// writes plain log lines.
bool IsTerminal(std::FILE* stream) noexcept {
  if (stream == nullptr) return false;
  const int fd = ::_fileno(stream);
  if (fd < 0) return false;
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_CHAR) return false;
  DWORD mode = 0;
  if (!::GetConsoleMode(handle, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  return ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

}  // namespace nd::platform
