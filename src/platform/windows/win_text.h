// What every Windows source of the platform layer shares: texts cross the platform line as
// UTF-8 and the W functions take UTF-16, so each call converts at this boundary; and a handle
// that closes itself.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace nd::platform::win {

// UTF-8 to UTF-16. Invalid UTF-8 gives the empty text, so that a garbled name never reaches a
// file operation as some other name. `ok` tells an empty input from a failed conversion.
std::wstring Widen(std::string_view text, bool* ok = nullptr);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view text);

// A path usable by the W file functions: UTF-8 converted, '/' turned into '\', and the
// "\\?\" prefix added to long absolute paths so that MAX_PATH does not cut them off. Empty for
// an empty path, one holding a NUL, or one that is not valid UTF-8.
std::wstring WidePath(std::string_view path);

// Whether a Win32 error code means that the volume, or the user's quota on it, is full.
bool IsDiskFull(DWORD error);

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept : h_(other.release()) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }
  void reset(HANDLE h = nullptr) {
    if (h_ != nullptr) ::CloseHandle(h_);
    h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
  }

 private:
  HANDLE h_ = nullptr;
};

// An environment variable as UTF-8; empty when unset.
std::string EnvValue(const wchar_t* name);

}  // namespace nd::platform::win
