#include "platform/locale.h"

namespace nd::platform {

std::string UserCountry() { return {}; }

}  // namespace nd::platform
