// Access to single registry values named by one full path text such as
// "HKEY_LOCAL_MACHINE\SOFTWARE\...\ProductName": path splitting, value rendering and the three
// operations over a registry backend. None of them reports a failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry_backend.h"

namespace nd {

enum RegistryType : uint32_t {
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegMultiSz = 7,
};

struct RegistryPath {
  platform::RegistryRoot root;
  std::string rest;  // everything after the root name and its backslash
};

// Both root names are searched in the whole text; when both occur the user root wins.
std::optional<RegistryPath> SplitRegistryRoot(std::string_view path);

struct KeyAndValue {
  std::string key;   // every part but the last, each followed by a backslash
  std::string name;  // the last part
};
KeyAndValue SplitKeyAndValue(std::string_view rest);

// The text a value reads as: strings without their final NUL, binary data and DWORDs as
// upper-case hex pairs each followed by a blank, multi-strings joined without separator.
std::string RenderRegistryValue(const platform::RegistryValue& value);

// The bytes a written value is stored as: a string with one NUL, a DWORD as 4 bytes, low
// byte first. Other types cannot be written.
std::optional<platform::RegistryValue> EncodeRegistryValue(std::string_view value, uint32_t type);

class RegistryAccess {
 public:
  explicit RegistryAccess(platform::RegistryBackend& backend = platform::SystemRegistry())
      : backend_(backend) {}

  std::string RegReadValue(std::string_view path);
  void RegWriteValue(std::string_view key_path, std::string_view value_name, std::string_view value,
                     uint32_t type);
  void RegDeleteValue(std::string_view path);

 private:
  platform::RegistryBackend& backend_;
};

}  // namespace nd
