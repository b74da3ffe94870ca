// Everything the cleaning job does to volumes and files goes through this seam: the real one
// reaches the platform, the fake volume of the unit tests counts what was written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_volumes.h"
#include "platform/work_files.h"

namespace nd::engine {

using platform::FileWriter;
using platform::FolderRefusal;
using platform::FolderState;
using platform::IoStatus;
using platform::WorkFolderHandle;

class VolumeAccess {
 public:
  virtual ~VolumeAccess() = default;

  virtual std::vector<VolumeInfo> Volumes() = 0;
  // The bytes the user can still write on volume `letter`; nullopt when the query failed.
  virtual std::optional<uint64_t> FreeSpace(std::string_view letter) = 0;
  // The file system's unit of allocation on volume `letter`; nullopt when not known.
  virtual std::optional<uint64_t> ClusterSize(std::string_view letter) = 0;
  // Where the volume is reached (its mount point); empty when the letter is not known.
  virtual std::string RootOf(std::string_view letter) = 0;

  // The work folder of one volume run, and what stands at a work folder's place.
  virtual std::unique_ptr<WorkFolderHandle> OpenWorkFolder(const std::string& path,
                                                           FolderRefusal& why) = 0;
  virtual FolderState InspectFolder(const std::string& path) = 0;
  // Removes a leftover work folder of ours with everything in it, never following a link and
  // never while a cleaning holds it; true when it is gone.
  virtual bool RemoveLeftover(const std::string& path) = 0;

  // The copy source in the data folder: whether a file is there, its removal and creation.
  virtual bool DataFileExists(const std::string& path) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  virtual std::unique_ptr<FileWriter> CreateFile(const std::string& path, IoStatus& status) = 0;
  // Whether `path` is whole repetitions of its first `unit` bytes (then `pattern` and `size`
  // describe it), so that a copy can be written from memory without re-reading.
  virtual bool ReadRepetition(const std::string& path, size_t unit, std::string& pattern,
                              uint64_t& size) = 0;

  // The filesystem's own pool of blocks that nobody may write (ext4): set aside for the end of
  // a fill so that the deleted data in it is overwritten too; nothing where that cannot be.
  virtual std::optional<uint64_t> SetAsideReserve(std::string_view letter) = 0;
  virtual void RestoreReserve(std::string_view letter, uint64_t pool) = 0;

  // Empties the user's wastebasket on every volume, without asking.
  virtual void EmptyRecycleBin() = 0;
};

// The volumes and files of this machine.
std::unique_ptr<VolumeAccess> MakeSystemVolumeAccess();

}  // namespace nd::engine
