// Linux has no registry: every query answers as for a missing value, and the settings store
// keeps its files.
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

bool HasSettingsRegistry() { return false; }
std::string SettingsRegistryKey(std::string_view) { return {}; }
std::string ReadSettingsValue(std::string_view, std::string_view, std::string_view) { return {}; }
bool WriteSettingsValue(std::string_view, std::string_view, std::string_view, std::string_view) {
  return false;
}

}  // namespace nd::platform
