#include "shell/metered_volume_access.h"

#include <algorithm>

namespace nd {

using engine::IoStatus;

// Writes outside the work folders are not on the volume being cleaned; only their sizes are
// kept, for the copies made of them.
class MeteredVolumeAccess::MeteredWriter final : public engine::FileWriter {
 public:
  MeteredWriter(MeteredVolumeAccess& owner, std::string path,
                std::unique_ptr<engine::FileWriter> inner)
      : owner_(owner), path_(std::move(path)), inner_(std::move(inner)) {}

  IoStatus Write(std::string_view data) override {
    IoStatus status = inner_->Write(data);
    if (status == IoStatus::kOk) written_ += data.size();
    return status;
  }
  // Writes are buffered: only a file that closed well holds what was written into it.
  IoStatus Close() override {
    IoStatus status = inner_->Close();
    if (status == IoStatus::kOk) owner_.sources_[path_] = written_;
    return status;
  }

 private:
  MeteredVolumeAccess& owner_;
  std::string path_;
  std::unique_ptr<engine::FileWriter> inner_;
  uint64_t written_ = 0;
};

// The sizes of the files that may be padded later (those appended to, copied or repeated);
// the thousands of small files are counted but not remembered.
class MeteredVolumeAccess::MeteredFolder final : public engine::WorkFolderHandle {
 public:
  MeteredFolder(MeteredVolumeAccess& owner, std::unique_ptr<engine::WorkFolderHandle> inner)
      : owner_(owner), inner_(std::move(inner)) {}

  IoStatus Create(std::string_view name, std::string_view data) override {
    IoStatus status = inner_->Create(name, data);
    auto known = sizes_.find(std::string(name));
    if (known != sizes_.end()) sizes_.erase(known);
    return Count(status, data.size());
  }
  IoStatus Append(std::string_view name, std::string_view data, bool durable) override {
    return Grow(name, inner_->Append(name, data, durable), data.size());
  }
  IoStatus Copy(const std::string& source, std::string_view name) override {
    auto known = owner_.sources_.find(source);
    IoStatus status = inner_->Copy(source, name);
    if (known == owner_.sources_.end()) {
      sizes_.erase(std::string(name));
      return status;
    }
    sizes_[std::string(name)] = 0;
    return Grow(name, status, known->second);
  }
  IoStatus WriteRepeated(std::string_view name, std::string_view pattern, uint64_t size) override {
    sizes_[std::string(name)] = 0;
    return Grow(name, inner_->WriteRepeated(name, pattern, size), size);
  }
  IoStatus PadToMultiple(std::string_view name, uint64_t unit, std::string_view filler) override {
    IoStatus status = inner_->PadToMultiple(name, unit, filler);
    auto known = sizes_.find(std::string(name));
    if (known == sizes_.end() || unit == 0) return status;
    uint64_t pad = (unit - known->second % unit) % unit;
    return Grow(name, status, pad);
  }
  IoStatus CutEnd(std::string_view name, uint64_t bytes) override {
    IoStatus status = inner_->CutEnd(name, bytes);
    auto known = sizes_.find(std::string(name));
    if (status == IoStatus::kOk && known != sizes_.end()) {
      known->second -= std::min(known->second, bytes);
    }
    return status;
  }
  bool ListWorkFiles(std::vector<std::string>& names) override {
    return inner_->ListWorkFiles(names);
  }
  bool Delete(std::string_view name) override {
    sizes_.erase(std::string(name));
    return inner_->Delete(name);
  }
  bool Flush() override { return inner_->Flush(); }
  void DisableCompression() override { inner_->DisableCompression(); }
  bool StillInPlace() override { return inner_->StillInPlace(); }
  bool RemoveIfEmpty() override { return inner_->RemoveIfEmpty(); }
  void RemoveAll() override {
    sizes_.clear();
    inner_->RemoveAll();
  }

 private:
  IoStatus Count(IoStatus status, uint64_t bytes) {
    if (status == IoStatus::kOk) owner_.metered_ += bytes;
    return status;
  }
  // A file of known size grows by `bytes`; after a write cut short its size is unknown.
  IoStatus Grow(std::string_view name, IoStatus status, uint64_t bytes) {
    if (status == IoStatus::kOk) {
      sizes_[std::string(name)] += bytes;
    } else {
      sizes_.erase(std::string(name));
    }
    return Count(status, bytes);
  }

  MeteredVolumeAccess& owner_;
  std::unique_ptr<engine::WorkFolderHandle> inner_;
  std::map<std::string, uint64_t> sizes_;
};

std::unique_ptr<engine::WorkFolderHandle> MeteredVolumeAccess::OpenWorkFolder(
    const std::string& path, engine::FolderRefusal& why) {
  auto folder = inner_.OpenWorkFolder(path, why);
  if (!folder) return folder;
  return std::make_unique<MeteredFolder>(*this, std::move(folder));
}

std::unique_ptr<engine::FileWriter> MeteredVolumeAccess::CreateFile(const std::string& path,
                                                                    IoStatus& status) {
  sources_.erase(path);
  auto writer = inner_.CreateFile(path, status);
  if (!writer) return writer;
  return std::make_unique<MeteredWriter>(*this, path, std::move(writer));
}

}  // namespace nd
