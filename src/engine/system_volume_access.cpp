// The seam onto the machine's real volumes and files.
#include "engine/volume_access.h"
#include "platform/files.h"
#include "platform/trash.h"

namespace nd::engine {
namespace {

class SystemVolumeAccess final : public VolumeAccess {
 public:
  std::vector<VolumeInfo> Volumes() override { return platform::EnumerateVolumes(); }
  std::optional<uint64_t> FreeSpace(std::string_view letter) override {
    return platform::FreeSpace(letter);
  }
  std::optional<uint64_t> ClusterSize(std::string_view letter) override {
    return platform::ClusterSize(letter);
  }
  std::string RootOf(std::string_view letter) override { return platform::VolumeRoot(letter); }
  std::unique_ptr<WorkFolderHandle> OpenWorkFolder(const std::string& path,
                                                   FolderRefusal& why) override {
    return platform::OpenWorkFolder(path, why);
  }
  FolderState InspectFolder(const std::string& path) override {
    return platform::InspectWorkFolder(path);
  }
  bool RemoveLeftover(const std::string& path) override {
    return platform::RemoveLeftoverWorkFolder(path);
  }
  bool DataFileExists(const std::string& path) override { return platform::IsRegularFile(path); }
  bool DeleteFile(const std::string& path) override { return platform::RemoveFile(path); }
  std::unique_ptr<FileWriter> CreateFile(const std::string& path, IoStatus& status) override {
    return platform::CreateFileWriter(path, status);
  }
  bool ReadRepetition(const std::string& path, size_t unit, std::string& pattern,
                      uint64_t& size) override {
    return platform::ReadRepeatingUnit(path, unit, pattern, size);
  }
  std::optional<uint64_t> SetAsideReserve(std::string_view letter) override {
    return platform::SetAsideReservedPool(letter);
  }
  void RestoreReserve(std::string_view letter, uint64_t pool) override {
    platform::RestoreReservedPool(letter, pool);
  }
  void EmptyRecycleBin() override { platform::EmptyTrash(); }
};

}  // namespace

std::unique_ptr<VolumeAccess> MakeSystemVolumeAccess() {
  return std::make_unique<SystemVolumeAccess>();
}

}  // namespace nd::engine
