// File-system operations the rest of the program needs from the operating system: existence
// tests, whole-file reads, crash-safe replacement of a file, and a lock around read-modify-write.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nd::platform {

// The operating system's handle of an open file or folder; each platform defines it.
class NativeFile;

// All of these answer false or the empty text on any failure; none throws. Above the platform,
// FileExists and FolderExists of the environment probe are the program's tests of what is there.
bool IsRegularFile(const std::string& path) noexcept;
bool IsDirectory(const std::string& path) noexcept;
bool PathExists(const std::string& path) noexcept;
// Creates one folder level; true when it exists afterwards.
bool MakeDirectory(const std::string& path) noexcept;
// Creates the folder and any missing parents (private to the user); true when it exists after.
bool MakeDirectories(const std::string& path) noexcept;
// The canonical absolute form of an existing path, or the empty text.
std::string CanonicalPath(const std::string& path) noexcept;
bool RemoveFile(const std::string& path) noexcept;
// Creates or truncates `path` and writes `contents`; with `flush`, waits until it is on the
// device. False on any failure, and for a symbolic link, FIFO or device at `path`, which is
// neither followed nor waited for. ReadFileBytes refuses them the same way.
bool WriteWholeFile(const std::string& path, std::string_view contents,
                    bool flush = false) noexcept;
// Renames `from` over `to` and flushes the folder entry.
bool RenameFile(const std::string& from, const std::string& to) noexcept;

// Sets the permission bits of a file or folder (e.g. 0755), whatever the umask; false on failure.
bool SetPermissions(const std::string& path, unsigned mode) noexcept;
// Creates a new folder "<prefix><six random characters>" inside `parent` that only the user may
// enter (mkdtemp), so that nobody can plant files in it beforehand. Its path, or the empty text.
std::string MakePrivateTempFolder(const std::string& parent, std::string_view prefix) noexcept;

// The names of the regular files directly inside `folder` (no sub-folders, no hidden entries
// "." and ".."), in alphabetical order without regard to ASCII case, as a file list shows them.
// Empty when the folder cannot be read.
std::vector<std::string> ListFolderFiles(const std::string& folder) noexcept;

// Reads a whole file. false when it cannot be opened or read (contents are then empty).
bool ReadFileBytes(const std::string& path, std::string& contents) noexcept;

// Writes a file so that a crash at any moment leaves either the old or the new contents under
// `path`, never a mixture: the data goes to a private temporary file beside it, is flushed to
// the device, and is then renamed over the old file; the folder entry is flushed too.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  ~AtomicFileWriter();  // discards the temporary file unless Commit succeeded
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool Begin();
  bool Write(std::string_view data);
  bool Commit();

  // Temporary files are named `<file name><kTempMarker><random>` in the target's folder.
  static constexpr std::string_view kTempMarker = ".tmp-";

 private:
  std::string path_;
  std::string temp_path_;
  std::unique_ptr<NativeFile> file_;
  bool failed_ = false;
};

bool ReplaceFileAtomically(const std::string& path, std::string_view contents) noexcept;

// Removes temporary files that an interrupted AtomicFileWriter left beside `path`. Call only
// while holding the folder's lock, so that no live writer's file is taken away.
void RemoveStaleTempFiles(const std::string& path) noexcept;

// An exclusive advisory lock on a folder, held for the object's lifetime. Serialises the
// read-modify-write cycles of several processes of the program (second copies).
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) noexcept;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool Held() const noexcept { return file_ != nullptr; }

 private:
  std::unique_ptr<NativeFile> file_;
};

}  // namespace nd::platform
