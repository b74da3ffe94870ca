#include "scratch.h"

#include <windows.h>

#include "platform/files.h"
#include "platform/windows/win_text.h"
#include "platform/work_files.h"

namespace nd::test {

std::string Env(const char* name) {
  return platform::win::EnvValue(platform::win::Widen(name).c_str());
}

std::string FolderDrive() { return Env("ND_TEST_FOLDER_DRIVE"); }
std::string SmallDrive() { return Env("ND_TEST_SMALL_DRIVE"); }

ScratchFolder::ScratchFolder(const std::string& parent) {
  std::string base = parent;
  if (base.empty()) base = FolderDrive().empty() ? std::string("C:\\") : FolderDrive() + ":\\";
  path_ = platform::MakePrivateTempFolder(base, "scratch-");
}

ScratchFolder::~ScratchFolder() {
  if (!path_.empty()) platform::RemoveTree(path_);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  std::wstring wname = platform::win::Widen(name);
  had_ = ::GetEnvironmentVariableW(wname.c_str(), nullptr, 0) != 0;
  old_ = Env(name);
  ::SetEnvironmentVariableW(wname.c_str(), value ? platform::win::Widen(value).c_str() : nullptr);
}

ScopedEnv::~ScopedEnv() {
  std::wstring wname = platform::win::Widen(name_);
  ::SetEnvironmentVariableW(wname.c_str(), had_ ? platform::win::Widen(old_).c_str() : nullptr);
}

}  // namespace nd::test
