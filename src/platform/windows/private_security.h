// Folders only the running user may write in: the Windows counterpart of mode 0700.
#pragma once

#include <windows.h>

namespace nd::platform::win {

// A security descriptor that gives the running user, the administrators and the system full
// rights and nobody else any, protected from what the parent folder would hand down.
class PrivateSecurity {
 public:
  PrivateSecurity();
  ~PrivateSecurity();
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;
  // nullptr when the descriptor could not be made.
  SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

// Whether the object behind `handle` is owned by the running user or by the administrators
// (whose folders an elevated run of the program creates). Needs READ_CONTROL on the handle.
bool OwnedByUserOrAdministrators(HANDLE handle);

}  // namespace nd::platform::win
