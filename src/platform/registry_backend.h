// The operating system's registry of single named values, as the registry helpers reach it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace nd::platform {

enum class RegistryRoot { kLocalMachine, kCurrentUser };

struct RegistryValue {
  uint32_t type = 0;  // REG_SZ 1, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4, ...
  std::string data;   // the stored bytes
};

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // `key` is the path below the root with every part followed by a backslash.
  virtual std::optional<RegistryValue> Query(RegistryRoot root, const std::string& key,
                                             const std::string& name) = 0;
  // Creates the key as needed. false when the value could not be stored.
  virtual bool Set(RegistryRoot root, const std::string& key, const std::string& name,
                   const RegistryValue& value) = 0;
  virtual bool Delete(RegistryRoot root, const std::string& key, const std::string& name) = 0;
};

// The machine's registry. Linux has none: every value is missing and nothing can be stored.
RegistryBackend& SystemRegistry();

}  // namespace nd::platform
