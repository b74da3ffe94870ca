// The per-user store of the user's choices: application -> section -> key -> text. Where the
// operating system has a registry for it, the store lives there, one key per application and
// section; elsewhere on disk, one file per application, replaced atomically on every save.
#pragma once

#include <string>
#include <string_view>

namespace nd {

// The two applications of the store.
inline constexpr std::string_view kAppNdrf = "NDRF";  // everything of the program itself
inline constexpr std::string_view kAppKx = "KX";      // the install stamp; survives uninstalls

// The folder of the store below the user's configuration folder.
inline constexpr std::string_view kStoreRoot = "Nulldrift";

class SettingsStore {
 public:
  // `folder` holds one "<application>.ini" per application; it is created on the first save.
  explicit SettingsStore(std::string folder);

  // The store in the operating system's settings registry.
  static SettingsStore InRegistry();

  // The store of the user running the program: the registry where there is one, else
  // <config home>/Nulldrift.
  static SettingsStore ForCurrentUser();

  // The stored text, or the empty text when the application, section or key is absent or
  // the file cannot be read. Names compare exactly, with case.
  std::string Get(std::string_view app, std::string_view section, std::string_view key) const;

  // Stores `value` (the empty text too: it does not delete the key). Other keys are kept.
  // false when the file could not be written; the old file is then left as it was.
  bool Save(std::string_view app, std::string_view section, std::string_view key,
            std::string_view value);

  const std::string& folder() const { return folder_; }
  // The file that holds one application's sections, or empty for a name that is no file name
  // and for a store in the registry.
  std::string FileOf(std::string_view app) const;
  // The registry key that holds one application's sections; empty for a store of files.
  std::string RegistryKeyOf(std::string_view app) const;

 private:
  std::string folder_;
  bool in_registry_ = false;
};

}  // namespace nd
