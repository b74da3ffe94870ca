// Scratch folders and environment values for the platform tests under Wine.
#pragma once

#include <string>

namespace nd::test {

// A fresh folder below `parent` (the test drive's root by default), removed with everything
// in it at the end of the scope.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& parent = "");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Sets an environment variable for the scope, then restores the earlier value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

// The letter of the drive the runner mapped to a scratch folder ("D"), or empty.
std::string FolderDrive();
// The letter of the small scratch volume for full-disk cases, or empty when there is none.
std::string SmallDrive();
// The environment value as UTF-8, empty when unset.
std::string Env(const char* name);

}  // namespace nd::test
