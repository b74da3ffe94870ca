// Linux has no registry: every query answers as for a missing value.
#include "platform/registry_backend.h"

namespace nd::platform {
namespace {

class NoRegistry final : public RegistryBackend {
 public:
  std::optional<RegistryValue> Query(RegistryRoot, const std::string&,
                                     const std::string&) override {
    return std::nullopt;
  }
  bool Set(RegistryRoot, const std::string&, const std::string&, const RegistryValue&) override {
    return false;
  }
  bool Delete(RegistryRoot, const std::string&, const std::string&) override { return false; }
};

}  // namespace

RegistryBackend& SystemRegistry() {
  static NoRegistry registry;
  return registry;
}

}  // namespace nd::platform
