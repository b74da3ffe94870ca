// The volumes of a headless run, with a meter on every write the cleaning job makes, so that
// its report can say how many bytes went onto each volume.
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

  // Counts from now on what is written below `root` (a mount point), from zero.
  void StartMeter(const std::string& root);
  // Bytes written below that root since the meter started: whole writes that succeeded; a write
  // cut short by a full volume counts nothing.
  uint64_t Metered() const { return metered_; }

  std::vector<VolumeInfo> Volumes() override { return inner_.Volumes(); }
  std::optional<uint64_t> FreeSpace(std::string_view letter) override {
    return inner_.FreeSpace(letter);
  }
  std::string RootOf(std::string_view letter) override { return inner_.RootOf(letter); }
  bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
  bool FolderExists(const std::string& path) override { return inner_.FolderExists(path); }
  bool MakeFolder(const std::string& path) override { return inner_.MakeFolder(path); }
  bool RemoveEmptyFolder(const std::string& path) override {
    return inner_.RemoveEmptyFolder(path);
  }
  void RemoveTree(const std::string& path) override { inner_.RemoveTree(path); }
  bool DeleteFile(const std::string& path) override { return inner_.DeleteFile(path); }
  bool ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return inner_.ListFiles(folder, names);
  }
  std::unique_ptr<engine::FileWriter> CreateFile(const std::string& path,
                                                 engine::IoStatus& status) override;
  engine::IoStatus WriteNewFile(const std::string& path, std::string_view data) override;
  engine::IoStatus AppendToFile(const std::string& path, std::string_view data) override;
  engine::IoStatus CopyFile(const std::string& from, const std::string& to) override;
  bool ReadRepetition(const std::string& path, size_t unit, std::string& pattern,
                      uint64_t& size) override {
    return inner_.ReadRepetition(path, unit, pattern, size);
  }
  engine::IoStatus WriteRepetition(const std::string& path, std::string_view pattern,
                                   uint64_t size) override;
  engine::IoStatus AppendDurably(const std::string& path, std::string_view data) override;
  std::optional<uint64_t> SetAsideReserve(std::string_view letter) override {
    return inner_.SetAsideReserve(letter);
  }
  void RestoreReserve(std::string_view letter, uint64_t pool) override {
    inner_.RestoreReserve(letter, pool);
  }
  bool Flush(const std::string& folder) override { return inner_.Flush(folder); }
  void DisableCompression(const std::string& folder) override { inner_.DisableCompression(folder); }
  void EmptyRecycleBin() override { inner_.EmptyRecycleBin(); }

 private:
  class MeteredWriter;

  // Adds `bytes` written to `path` when the write succeeded.
  engine::IoStatus Count(engine::IoStatus status, const std::string& path, uint64_t bytes);
  bool Metering(const std::string& path) const;

  engine::VolumeAccess& inner_;
  std::string root_;
  bool metering_ = false;
  uint64_t metered_ = 0;
  // Files written whole through CreateFile (the copy source): what copying one of them writes.
  std::map<std::string, uint64_t> sizes_;
};

}  // namespace nd
