// Shared helpers of the unit tests: private scratch folders and environment overrides that are
// undone when the test ends, the same on every platform.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace nd::test {

// A fresh folder only the user may enter, removed with everything in it at the end. It lies
// below `parent`, by default below $ND_TEST_SCRATCH_PARENT (a scratch drive that the Windows
// test runner maps) or else the temporary folder.
class ScratchFolder {
 public:
  ScratchFolder();
  explicit ScratchFolder(const std::string& parent);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  // `name` inside the folder, joined as this platform joins paths.
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// Sets an environment variable for the lifetime of the object (nullopt or a null pointer
// removes it), then puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Sets or (with nullopt) removes an environment variable of this process.
void SetEnv(const std::string& name, const std::optional<std::string>& value);
// The environment value, nullopt when unset.
std::optional<std::string> GetEnv(const std::string& name);

// True when the tests run under Wine rather than on Windows itself (never elsewhere).
bool UnderWine();

#ifdef _WIN32
// Makes `command` the user's program for opening http and https addresses ("%1" stands for the
// address), or removes that choice again.
void SetUrlOpenCommand(const std::string& command);
void RemoveUrlOpenCommand();
#endif

// The program's paths are UTF-8 texts; a plain std::string would be read in the ANSI code page
// on Windows.
inline std::filesystem::path Utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// A copy of `from` with everything in it at `to`: fixtures hold no symbolic links, which not
// every platform's standard library can make.
inline void CopyFolder(const std::string& from, const std::string& to) {
  std::filesystem::create_directories(Utf8Path(to));
  std::filesystem::copy(Utf8Path(from), Utf8Path(to), std::filesystem::copy_options::recursive);
}

inline void WriteFile(const std::string& path, const std::string& contents) {
  std::filesystem::create_directories(Utf8Path(path).parent_path());
  std::ofstream(Utf8Path(path), std::ios::binary) << contents;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace nd::test
