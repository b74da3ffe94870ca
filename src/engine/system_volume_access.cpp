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
  std::string RootOf(std::string_view letter) override { return platform::VolumeRoot(letter); }
  bool FileExists(const std::string& path) override { return platform::IsRegularFile(path); }
  bool FolderExists(const std::string& path) override { return platform::IsRealDirectory(path); }
  bool MakeFolder(const std::string& path) override { return platform::MakeDirectory(path); }
  bool RemoveEmptyFolder(const std::string& path) override {
    return platform::RemoveEmptyDirectory(path);
  }
  void RemoveTree(const std::string& path) override { platform::RemoveTree(path); }
  bool DeleteFile(const std::string& path) override { return platform::RemoveFile(path); }
  bool ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return platform::ListFileNames(folder, names);
  }
  std::unique_ptr<FileWriter> CreateFile(const std::string& path, IoStatus& status) override {
    return platform::CreateFileWriter(path, status);
  }
  IoStatus WriteNewFile(const std::string& path, std::string_view data) override {
    return platform::WriteNewFile(path, data);
  }
  IoStatus AppendToFile(const std::string& path, std::string_view data) override {
    return platform::AppendToFile(path, data);
  }
  IoStatus CopyFile(const std::string& from, const std::string& to) override {
    return platform::CopyFileData(from, to);
  }
  bool ReadRepetition(const std::string& path, size_t unit, std::string& pattern,
                      uint64_t& size) override {
    return platform::ReadRepeatingUnit(path, unit, pattern, size);
  }
  IoStatus WriteRepetition(const std::string& path, std::string_view pattern,
                           uint64_t size) override {
    return platform::WriteRepeated(path, pattern, size);
  }
  IoStatus AppendDurably(const std::string& path, std::string_view data) override {
    return platform::AppendToFileDurably(path, data);
  }
  std::optional<uint64_t> SetAsideReserve(std::string_view letter) override {
    return platform::SetAsideReservedPool(letter);
  }
  void RestoreReserve(std::string_view letter, uint64_t pool) override {
    platform::RestoreReservedPool(letter, pool);
  }
  bool Flush(const std::string& folder) override { return platform::FlushFileSystem(folder); }
  void DisableCompression(const std::string& folder) override {
    platform::DisableCompression(folder);
  }
  void EmptyRecycleBin() override { platform::EmptyTrash(); }
};

}  // namespace

std::unique_ptr<VolumeAccess> MakeSystemVolumeAccess() {
  return std::make_unique<SystemVolumeAccess>();
}

}  // namespace nd::engine
