// The file operations of a cleaning job on the volume being cleaned: writes that tell a full
// volume apart from other failures, copies that allocate real data blocks, and removals that
// never follow a symbolic link out of the folder they were given.
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

// A file opened for writing from its start; writes are buffered and reach the file at latest
// at Close.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  virtual IoStatus Write(std::string_view data) = 0;
  virtual IoStatus Close() = 0;
};

// Creates `path` anew (truncating it) for writing; nullptr with `status` set on failure.
std::unique_ptr<FileWriter> CreateFileWriter(const std::string& path, IoStatus& status);

// Creates or truncates `path` and writes `data` (which may be empty) into it.
IoStatus WriteNewFile(const std::string& path, std::string_view data);
// Opens `path` for appending (creating it when missing), writes `data` and closes it.
IoStatus AppendToFile(const std::string& path, std::string_view data);
// As AppendToFile, but returns only once the data is on the device, so that a full volume is
// reported here and not later, when the cache is written back.
IoStatus AppendToFileDurably(const std::string& path, std::string_view data);
// Copies the bytes of `from` into a new file `to`. Every byte is written as data: no clone,
// reflink or copy offload that would share the source's blocks and consume no space.
IoStatus CopyFileData(const std::string& from, const std::string& to);

// True when `path` consists of whole repetitions of its first `unit` bytes; `pattern` gets
// those bytes and `size` the file's length. Reads the file once.
bool ReadRepeatingUnit(const std::string& path, size_t unit, std::string& pattern, uint64_t& size);
// Creates `path` anew holding `pattern` repeated to `size` bytes: the same bytes as a copy of
// a file made that way, written straight from memory without reading the file again.
IoStatus WriteRepeated(const std::string& path, std::string_view pattern, uint64_t size);

// A folder that is really a folder: a symbolic link to one does not count.
bool IsRealDirectory(const std::string& path) noexcept;
// The names of the files (everything but folders) directly in `folder`, in the order the
// file system reports them. False when the folder cannot be read.
bool ListFileNames(const std::string& folder, std::vector<std::string>& names);
// Removes an empty folder.
bool RemoveEmptyDirectory(const std::string& path) noexcept;
// Removes `path` with everything below it. Symbolic links inside are removed as links and
// never followed; a `path` that is itself a symbolic link is left alone. Continues past
// failures; true when nothing is left.
bool RemoveTree(const std::string& path) noexcept;

}  // namespace nd::platform
