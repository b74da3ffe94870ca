// Everything the cleaning job does to volumes and files goes through this seam: the real one
// reaches the platform, the fake volume of the unit tests counts what was written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/volumes.h"
#include "platform/work_files.h"

namespace nd::engine {

using platform::FileWriter;
using platform::IoStatus;

class VolumeAccess {
 public:
  virtual ~VolumeAccess() = default;

  virtual std::vector<VolumeInfo> Volumes() = 0;
  // The bytes the user can still write on volume `letter`; nullopt when the query failed.
  virtual std::optional<uint64_t> FreeSpace(std::string_view letter) = 0;
  // Where the volume is reached (its mount point); empty when the letter is not known.
  virtual std::string RootOf(std::string_view letter) = 0;

  virtual bool FileExists(const std::string& path) = 0;
  // A real folder; a symbolic link to one does not count.
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates one folder level.
  virtual bool MakeFolder(const std::string& path) = 0;
  virtual bool RemoveEmptyFolder(const std::string& path) = 0;
  // Removes the folder with everything in it; failures are skipped.
  virtual void RemoveTree(const std::string& path) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  // Names of the files directly in `folder`, in the file system's order.
  virtual bool ListFiles(const std::string& folder, std::vector<std::string>& names) = 0;

  virtual std::unique_ptr<FileWriter> CreateFile(const std::string& path, IoStatus& status) = 0;
  virtual IoStatus WriteNewFile(const std::string& path, std::string_view data) = 0;
  virtual IoStatus AppendToFile(const std::string& path, std::string_view data) = 0;
  virtual IoStatus CopyFile(const std::string& from, const std::string& to) = 0;
  // Whether `path` is whole repetitions of its first `unit` bytes (then `pattern` and `size`
  // describe it), and a new file of such repetitions: a copy written without re-reading.
  virtual bool ReadRepetition(const std::string& path, size_t unit, std::string& pattern,
                              uint64_t& size) = 0;
  virtual IoStatus WriteRepetition(const std::string& path, std::string_view pattern,
                                   uint64_t size) = 0;
  // As AppendToFile, returning only once the data is on the device.
  virtual IoStatus AppendDurably(const std::string& path, std::string_view data) = 0;

  // The filesystem's own pool of blocks that nobody may write (ext4): set aside for the end of
  // a fill so that the deleted data in it is overwritten too; nothing where that cannot be.
  virtual std::optional<uint64_t> SetAsideReserve(std::string_view letter) = 0;
  virtual void RestoreReserve(std::string_view letter, uint64_t pool) = 0;

  // Everything written below `folder` reaches the device.
  virtual bool Flush(const std::string& folder) = 0;
  // Asks the filesystem not to compress new files in `folder`.
  virtual void DisableCompression(const std::string& folder) = 0;
  // Empties the user's wastebasket on every volume, without asking.
  virtual void EmptyRecycleBin() = 0;
};

// The volumes and files of this machine.
std::unique_ptr<VolumeAccess> MakeSystemVolumeAccess();

}  // namespace nd::engine
