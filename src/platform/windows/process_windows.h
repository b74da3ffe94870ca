// The command-line quoting of the process layer, for its tests.
#pragma once

#include <string>

namespace nd::platform::win {

std::wstring QuoteArgument(const std::wstring& arg);

}  // namespace nd::platform::win
