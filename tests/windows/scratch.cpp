#include "scratch.h"

namespace nd::test {

std::string Env(const char* name) { return GetEnv(name).value_or(""); }

std::string FolderDrive() { return Env("ND_TEST_FOLDER_DRIVE"); }
std::string SmallDrive() { return Env("ND_TEST_SMALL_DRIVE"); }

}  // namespace nd::test
