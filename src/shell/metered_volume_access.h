// The volumes of a headless run, with a meter on every write the cleaning job makes into its
// work folders, so that its report can say how many bytes went onto each volume.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine/volume_access.h"

namespace nd {

class MeteredVolumeAccess final : public engine::VolumeAccess {
 public:
  explicit MeteredVolumeAccess(engine::VolumeAccess& inner) : inner_(inner) {}

  // Counts from zero what is written into work folders from now on.
  void StartMeter() { metered_ = 0; }
  // Bytes written into work folders since the meter started: writes that succeeded, and the
  // padding of files whose size the meter knows. A write cut short by a full volume counts
  // nothing, as only the file system knows how much of it landed.
  uint64_t Metered() const { return metered_; }

  std::vector<VolumeInfo> Volumes() override { return inner_.Volumes(); }
  std::optional<uint64_t> FreeSpace(std::string_view letter) override {
    return inner_.FreeSpace(letter);
  }
  std::optional<uint64_t> ClusterSize(std::string_view letter) override {
    return inner_.ClusterSize(letter);
  }
  std::string RootOf(std::string_view letter) override { return inner_.RootOf(letter); }
  std::unique_ptr<engine::WorkFolderHandle> OpenWorkFolder(const std::string& path,
                                                           engine::FolderRefusal& why) override;
  engine::FolderState InspectFolder(const std::string& path) override {
    return inner_.InspectFolder(path);
  }
  bool RemoveLeftover(const std::string& path) override { return inner_.RemoveLeftover(path); }
  bool DataFileExists(const std::string& path) override { return inner_.DataFileExists(path); }
  bool DeleteFile(const std::string& path) override { return inner_.DeleteFile(path); }
  std::unique_ptr<engine::FileWriter> CreateFile(const std::string& path,
                                                 engine::IoStatus& status) override;
  bool ReadRepetition(const std::string& path, size_t unit, std::string& pattern,
                      uint64_t& size) override {
    return inner_.ReadRepetition(path, unit, pattern, size);
  }
  std::optional<uint64_t> SetAsideReserve(std::string_view letter) override {
    return inner_.SetAsideReserve(letter);
  }
  void RestoreReserve(std::string_view letter, uint64_t pool) override {
    inner_.RestoreReserve(letter, pool);
  }
  void EmptyRecycleBin() override { inner_.EmptyRecycleBin(); }

 private:
  class MeteredFolder;
  class MeteredWriter;

  engine::VolumeAccess& inner_;
  uint64_t metered_ = 0;
  // The files written whole outside the work folders (the copy source): what copying one of
  // them into a work folder writes.
  std::map<std::string, uint64_t> sources_;
};

}  // namespace nd
