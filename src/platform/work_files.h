// The file operations of a cleaning job: the work folder on the volume being cleaned, opened
// once and reached only through that handle, so that nobody can redirect a write or a deletion
// by swapping the folder or planting links in it; and the copy source in the data folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nd::platform {

enum class IoStatus {
  kOk,
  kNoSpace,  // no free block, inode or directory entry left (or the user's quota is used up)
  kFailed,   // anything else
};

// Why a work folder cannot be the job's.
enum class FolderRefusal {
  kNone,
  kUnusable,    // cannot be created or opened: read-only, missing root, no rights
  kNotAFolder,  // a symbolic link, junction or file stands where the folder belongs
  kNotOurs,     // another user's folder, or one that others may write in
  kBusy,        // another cleaning holds it
};

// What stands at a work folder's place before a job or sweep looks at it.
enum class FolderState {
  kAbsent,
  kOurs,     // a real folder of the running user (or root) that nobody else may write in
  kForeign,  // anything else: never opened, written or deleted
  kBusy,     // ours, but a running cleaning holds it: not a leftover
};

// A file opened for writing from its start; writes are buffered and reach the file at latest
// at Close.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  virtual IoStatus Write(std::string_view data) = 0;
  virtual IoStatus Close() = 0;
};

// One volume run's work folder. Every file is named relative to it; none is ever reached
// through a symbolic link, and none that this handle did not create is written.
class WorkFolderHandle {
 public:
  virtual ~WorkFolderHandle() = default;

  // A new file holding `data` (which may be empty). A file of that name that this handle did
  // not create is replaced only in a leftover of our own, and never written through.
  virtual IoStatus Create(std::string_view name, std::string_view data) = 0;
  // Appends to a file this handle created (creating it when missing); `durable` returns only
  // once the data has been written to the device and nothing of it waits in the cache, so that
  // a full volume shows here and not at write-back.
  virtual IoStatus Append(std::string_view name, std::string_view data, bool durable) = 0;
  // A new file with the bytes of the regular file `source` (outside the folder). Every byte is
  // written as data: no clone, reflink or copy offload that would share the source's blocks.
  virtual IoStatus Copy(const std::string& source, std::string_view name) = 0;
  // A new file of `pattern` repeated to `size` bytes, written straight from memory.
  virtual IoStatus WriteRepeated(std::string_view name, std::string_view pattern,
                                 uint64_t size) = 0;
  // Extends a file this handle created with bytes of `filler` up to the next multiple of
  // `unit` bytes, so that its last cluster is written to its end. A name it never created (an
  // append refused before the file existed) has nothing to pad.
  virtual IoStatus PadToMultiple(std::string_view name, uint64_t unit, std::string_view filler) = 0;
  // Cuts `bytes` (at most all it holds) off the end of a file this handle created.
  virtual IoStatus CutEnd(std::string_view name, uint64_t bytes) = 0;
  // The names of the files (everything but folders) in the folder, in the file system's order.
  virtual bool ListWorkFiles(std::vector<std::string>& names) = 0;
  virtual bool Delete(std::string_view name) = 0;
  // Everything written into the folder's file system reaches the device.
  virtual bool Flush() = 0;
  // Asks the file system not to compress new files here.
  virtual void DisableCompression() = 0;
  // The folder's path still leads to this very folder: not replaced, not unmounted.
  virtual bool StillInPlace() = 0;
  // Removes the folder when it is empty and still in place.
  virtual bool RemoveIfEmpty() = 0;
  // Removes everything in the folder (sub-folders too, never following a link) and the
  // folder itself while it is still in place; continues past failures.
  virtual void RemoveAll() = 0;
};

// Opens the work folder at `path` for one volume run, creating it (one level, private to the
// user) when missing, and holds the one-job-per-folder lock until the handle goes. nullptr with
// `why` set when it cannot be the job's.
std::unique_ptr<WorkFolderHandle> OpenWorkFolder(const std::string& path, FolderRefusal& why);

// What stands at `path`, without following a link in its last part.
FolderState InspectWorkFolder(const std::string& path);
// Removes a leftover work folder with everything in it, holding its lock meanwhile so that a
// cleaning that starts there cannot lose its files; only a folder that InspectWorkFolder calls
// ours. True when it is gone.
bool RemoveLeftoverWorkFolder(const std::string& path);

// Creates `path` anew (truncating it) for writing; nullptr with `status` set on failure. A
// symbolic link, FIFO or device at `path` is refused, without blocking.
std::unique_ptr<FileWriter> CreateFileWriter(const std::string& path, IoStatus& status);

// True when the regular file `path` consists of whole repetitions of its first `unit` bytes;
// `pattern` gets those bytes and `size` the file's length. Reads the file once.
bool ReadRepeatingUnit(const std::string& path, size_t unit, std::string& pattern, uint64_t& size);

// A folder that is really a folder: a symbolic link to one does not count.
bool IsRealDirectory(const std::string& path) noexcept;
// Removes `path` with everything below it. Symbolic links inside are removed as links and
// never followed; a `path` that is itself a symbolic link is left alone. Continues past
// failures; true when nothing is left.
bool RemoveTree(const std::string& path) noexcept;

}  // namespace nd::platform
