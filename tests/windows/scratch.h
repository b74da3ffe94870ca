// The scratch drives that tests/windows/run-platform-tests maps around the Windows tests.
#pragma once

#include <string>

#include "test_support.h"

namespace nd::test {

// The letter of the drive the runner mapped to a scratch folder ("D"), or empty.
std::string FolderDrive();
// The letter of the small scratch volume for full-disk cases, or empty when there is none.
std::string SmallDrive();
// The environment value as UTF-8, empty when unset.
std::string Env(const char* name);

}  // namespace nd::test
