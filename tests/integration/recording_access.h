// The machine's real volume access with a hook before every write and deletion in the work
// folder, so that a test can look at the folder at a chosen moment or pull the volume away
// under the job.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/volume_access.h"

namespace nd::test {

using Hook = std::function<void(std::string_view op, const std::string& path)>;

// The real work folder, announcing each operation by the file's path before doing it.
class RecordingFolder final : public engine::WorkFolderHandle {
 public:
  RecordingFolder(std::unique_ptr<engine::WorkFolderHandle> real, std::string path,
                  const Hook& hook, int& flushes)
      : real_(std::move(real)), path_(std::move(path)), hook_(hook), flushes_(flushes) {}

  engine::IoStatus Create(std::string_view name, std::string_view data) override {
    Announce("write", name);
    return real_->Create(name, data);
  }
  engine::IoStatus Append(std::string_view name, std::string_view data, bool durable) override {
    Announce("append", name);
    return real_->Append(name, data, durable);
  }
  engine::IoStatus Copy(const std::string& source, std::string_view name) override {
    Announce("copy", name);
    return real_->Copy(source, name);
  }
  engine::IoStatus WriteRepeated(std::string_view name, std::string_view pattern,
                                 uint64_t size) override {
    Announce("copy", name);
    return real_->WriteRepeated(name, pattern, size);
  }
  engine::IoStatus PadToMultiple(std::string_view name, uint64_t unit,
                                 std::string_view filler) override {
    Announce("append", name);
    return real_->PadToMultiple(name, unit, filler);
  }
  engine::IoStatus CutEnd(std::string_view name, uint64_t bytes) override {
    Announce("append", name);
    return real_->CutEnd(name, bytes);
  }
  bool ListWorkFiles(std::vector<std::string>& names) override {
    return real_->ListWorkFiles(names);
  }
  bool Delete(std::string_view name) override {
    Announce("delete", name);
    return real_->Delete(name);
  }
  bool Flush() override {
    ++flushes_;
    return real_->Flush();
  }
  void DisableCompression() override { real_->DisableCompression(); }
  bool StillInPlace() override { return real_->StillInPlace(); }
  bool RemoveIfEmpty() override { return real_->RemoveIfEmpty(); }
  void RemoveAll() override { real_->RemoveAll(); }

 private:
  void Announce(std::string_view op, std::string_view name) {
    if (hook_) hook_(op, path_ + "/" + std::string(name));
  }

  std::unique_ptr<engine::WorkFolderHandle> real_;
  std::string path_;
  const Hook& hook_;
  int& flushes_;
};

class RecordingAccess final : public engine::VolumeAccess {
 public:
  RecordingAccess() : real_(engine::MakeSystemVolumeAccess()) {}

  Hook on_op;
  int flushes = 0;

  std::vector<VolumeInfo> Volumes() override { return real_->Volumes(); }
  std::optional<uint64_t> FreeSpace(std::string_view letter) override {
    return real_->FreeSpace(letter);
  }
  std::optional<uint64_t> ClusterSize(std::string_view letter) override {
    return real_->ClusterSize(letter);
  }
  std::string RootOf(std::string_view letter) override { return real_->RootOf(letter); }
  std::unique_ptr<engine::WorkFolderHandle> OpenWorkFolder(const std::string& path,
                                                           engine::FolderRefusal& why) override {
    auto real = real_->OpenWorkFolder(path, why);
    if (!real) return nullptr;
    return std::make_unique<RecordingFolder>(std::move(real), path, on_op, flushes);
  }
  engine::FolderState InspectFolder(const std::string& path) override {
    return real_->InspectFolder(path);
  }
  bool RemoveLeftover(const std::string& path) override { return real_->RemoveLeftover(path); }
  bool DataFileExists(const std::string& path) override { return real_->DataFileExists(path); }
  bool DeleteFile(const std::string& path) override {
    if (on_op) on_op("delete", path);
    return real_->DeleteFile(path);
  }
  std::unique_ptr<engine::FileWriter> CreateFile(const std::string& path,
                                                 engine::IoStatus& status) override {
    return real_->CreateFile(path, status);
  }
  bool ReadRepetition(const std::string& path, size_t unit, std::string& pattern,
                      uint64_t& size) override {
    return real_->ReadRepetition(path, unit, pattern, size);
  }
  std::optional<uint64_t> SetAsideReserve(std::string_view letter) override {
    return real_->SetAsideReserve(letter);
  }
  void RestoreReserve(std::string_view letter, uint64_t pool) override {
    real_->RestoreReserve(letter, pool);
  }
  void EmptyRecycleBin() override {}

 private:
  std::unique_ptr<engine::VolumeAccess> real_;
};

}  // namespace nd::test
