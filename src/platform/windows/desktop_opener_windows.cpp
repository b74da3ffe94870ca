// Hands an address or file to the program registered for it.
#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <objbase.h>
#include <shellapi.h>

#include "platform/desktop_opener.h"
#include "platform/windows/win_text.h"

namespace nd::platform {

bool OpenWithDesktop(const std::string& target) {
  bool ok = true;
  std::wstring wide = win::Widen(target, &ok);
  if (!ok || wide.empty() || wide.find(L'\0') != std::wstring::npos) return false;
  // ShellExecute needs COM for some handlers; an apartment already set up is fine as it is.
  HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  HINSTANCE rc = ::ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (SUCCEEDED(com)) ::CoUninitialize();
  // Values above 32 mean success; below are the historic error codes.
  return reinterpret_cast<INT_PTR>(rc) > 32;
}

}  // namespace nd::platform
