#include "platform/windows/private_security.h"

#include <windows.h>
// The other Windows headers build on the declarations of <windows.h>.
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/windows/win_text.h"

namespace nd::platform::win {
namespace {

// The running user's SID, copied out of the process token.
std::vector<BYTE> UserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  Handle owned(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  std::vector<BYTE> copy(::GetLengthSid(sid));
  if (!::CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return {};
  return copy;
}

}  // namespace

PrivateSecurity::PrivateSecurity() {
  std::vector<BYTE> sid = UserSid();
  wchar_t* sid_text = nullptr;
  if (sid.empty() || !::ConvertSidToStringSidW(sid.data(), &sid_text)) return;
  std::wstring sddl =
      L"D:P(A;OICI;FA;;;" + std::wstring(sid_text) + L")(A;OICI;FA;;;SY)" + L"(A;OICI;FA;;;BA)";
  ::LocalFree(sid_text);
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor_, nullptr)) {
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

PrivateSecurity::~PrivateSecurity() {
  if (descriptor_) ::LocalFree(descriptor_);
}

bool OwnedByUserOrAdministrators(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<BYTE> user = UserSid();
  bool ours = owner != nullptr && !user.empty() && ::EqualSid(owner, user.data());
  if (!ours && owner != nullptr) {
    ours = ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
           ::IsWellKnownSid(owner, WinLocalSystemSid);
  }
  ::LocalFree(descriptor);
  return ours;
}

}  // namespace nd::platform::win
