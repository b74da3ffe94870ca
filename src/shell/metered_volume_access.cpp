#include "shell/metered_volume_access.h"

namespace nd {

using engine::IoStatus;

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
    if (status == IoStatus::kOk) owner_.sizes_[path_] = written_;
    return owner_.Count(status, path_, written_);
  }

 private:
  MeteredVolumeAccess& owner_;
  std::string path_;
  std::unique_ptr<engine::FileWriter> inner_;
  uint64_t written_ = 0;
};

void MeteredVolumeAccess::StartMeter(const std::string& root) {
  root_ = root;
  metering_ = !root.empty();
  metered_ = 0;
}

bool MeteredVolumeAccess::Metering(const std::string& path) const {
  if (!metering_ || path.compare(0, root_.size(), root_) != 0) return false;
  return path.size() == root_.size() || root_.back() == '/' || path[root_.size()] == '/';
}

IoStatus MeteredVolumeAccess::Count(IoStatus status, const std::string& path, uint64_t bytes) {
  if (status == IoStatus::kOk && Metering(path)) metered_ += bytes;
  return status;
}

std::unique_ptr<engine::FileWriter> MeteredVolumeAccess::CreateFile(const std::string& path,
                                                                    IoStatus& status) {
  sizes_.erase(path);
  auto writer = inner_.CreateFile(path, status);
  if (!writer) return writer;
  return std::make_unique<MeteredWriter>(*this, path, std::move(writer));
}

IoStatus MeteredVolumeAccess::WriteNewFile(const std::string& path, std::string_view data) {
  return Count(inner_.WriteNewFile(path, data), path, data.size());
}

IoStatus MeteredVolumeAccess::AppendToFile(const std::string& path, std::string_view data) {
  return Count(inner_.AppendToFile(path, data), path, data.size());
}

IoStatus MeteredVolumeAccess::AppendDurably(const std::string& path, std::string_view data) {
  return Count(inner_.AppendDurably(path, data), path, data.size());
}

IoStatus MeteredVolumeAccess::CopyFile(const std::string& from, const std::string& to) {
  auto known = sizes_.find(from);
  return Count(inner_.CopyFile(from, to), to, known == sizes_.end() ? 0 : known->second);
}

IoStatus MeteredVolumeAccess::WriteRepetition(const std::string& path, std::string_view pattern,
                                              uint64_t size) {
  return Count(inner_.WriteRepetition(path, pattern, size), path, size);
}

}  // namespace nd
