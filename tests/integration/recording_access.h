// The machine's real volume access with a hook before every write and deletion, so that a test
// can look at the work folder at a chosen moment or pull the volume away under the job.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/volume_access.h"

namespace nd::test {

class RecordingAccess final : public engine::VolumeAccess {
 public:
  RecordingAccess() : real_(engine::MakeSystemVolumeAccess()) {}

  std::function<void(std::string_view op, const std::string& path)> on_op;
  int flushes = 0;

  std::vector<VolumeInfo> Volumes() override { return real_->Volumes(); }
  std::optional<uint64_t> FreeSpace(std::string_view letter) override {
    return real_->FreeSpace(letter);
  }
  std::string RootOf(std::string_view letter) override { return real_->RootOf(letter); }
  bool FileExists(const std::string& path) override { return real_->FileExists(path); }
  bool FolderExists(const std::string& path) override { return real_->FolderExists(path); }
  bool MakeFolder(const std::string& path) override { return real_->MakeFolder(path); }
  bool RemoveEmptyFolder(const std::string& path) override {
    return real_->RemoveEmptyFolder(path);
  }
  void RemoveTree(const std::string& path) override { real_->RemoveTree(path); }
  bool DeleteFile(const std::string& path) override {
    Hook("delete", path);
    return real_->DeleteFile(path);
  }
  bool ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return real_->ListFiles(folder, names);
  }
  std::unique_ptr<engine::FileWriter> CreateFile(const std::string& path,
                                                 engine::IoStatus& status) override {
    return real_->CreateFile(path, status);
  }
  engine::IoStatus WriteNewFile(const std::string& path, std::string_view data) override {
    Hook("write", path);
    return real_->WriteNewFile(path, data);
  }
  engine::IoStatus AppendToFile(const std::string& path, std::string_view data) override {
    Hook("append", path);
    return real_->AppendToFile(path, data);
  }
  engine::IoStatus CopyFile(const std::string& from, const std::string& to) override {
    Hook("copy", to);
    return real_->CopyFile(from, to);
  }
  bool ReadRepetition(const std::string& path, size_t unit, std::string& pattern,
                      uint64_t& size) override {
    return real_->ReadRepetition(path, unit, pattern, size);
  }
  engine::IoStatus WriteRepetition(const std::string& path, std::string_view pattern,
                                   uint64_t size) override {
    Hook("copy", path);
    return real_->WriteRepetition(path, pattern, size);
  }
  engine::IoStatus AppendDurably(const std::string& path, std::string_view data) override {
    Hook("append", path);
    return real_->AppendDurably(path, data);
  }
  std::optional<uint64_t> SetAsideReserve(std::string_view letter) override {
    return real_->SetAsideReserve(letter);
  }
  void RestoreReserve(std::string_view letter, uint64_t pool) override {
    real_->RestoreReserve(letter, pool);
  }
  bool Flush(const std::string& folder) override {
    ++flushes;
    return real_->Flush(folder);
  }
  void DisableCompression(const std::string& folder) override { real_->DisableCompression(folder); }
  void EmptyRecycleBin() override {}

 private:
  void Hook(std::string_view op, const std::string& path) {
    if (on_op) on_op(op, path);
  }

  std::unique_ptr<engine::VolumeAccess> real_;
};

}  // namespace nd::test
