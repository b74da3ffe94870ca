// An in-memory volume for engine tests: its free space is computed from what was written, and
// it can be made to compress, run out of entries, refuse writes or vanish.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/volume_access.h"
#include "platform/paths.h"

namespace nd::test {

// Where the fake volume D is mounted, and its work folder as the engine names it (joined as
// this platform joins paths).
inline const std::string kFakeRoot = "/fake/D";
inline const std::string kFakeWork = platform::JoinPath(kFakeRoot, "NDRF_temp");

class FakeVolumeAccess final : public engine::VolumeAccess {
 public:
  struct File {
    uint64_t size = 0;
    std::string content;  // kept only for files below kKeepContent bytes
  };
  static constexpr uint64_t kKeepContent = 64 * 1024;
  static constexpr uint64_t kBlock = 4096;

  // One volume "D" mounted at "/fake/D", plus the system volume "C" (data folder), which is
  // never listed unless asked.
  FakeVolumeAccess(uint64_t capacity, std::string data_folder)
      : capacity_(capacity), data_folder_(std::move(data_folder)) {
    info_.DriveLetter = "D";
    info_.DriveType = kDriveFixed;
    info_.IsReady = true;
    info_.TotalSize = static_cast<double>(capacity);
    info_.FileSystem = "NTFS";
    info_.VolumeName = "FAKE";
    info_.SerialNumber = -123456789;
    info_.RootPath = kFakeRoot;
    folders_.insert({kFakeRoot, true});
  }

  VolumeInfo& info() { return info_; }
  std::map<std::string, File>& files() { return files_; }
  uint64_t Used() const { return used_; }
  uint64_t Free() const { return capacity_ > Used() ? capacity_ - Used() : 0; }
  // What the user may write: the free space less the filesystem's pool unless set aside.
  uint64_t Writable() const {
    uint64_t pool = pool_set_aside ? 0 : reserve_pool;
    return Free() > pool ? Free() - pool : 0;
  }

  // Knobs for the failure cases.
  uint64_t reported_extra = 0;  // free space reported but not writable
  uint64_t reserve_pool = 0;    // the filesystem's own pool, writable only when set aside
  bool pool_set_aside = false;
  int pool_restores = 0;
  int durable_appends = 0;
  double stored_fraction = 1.0;  // below 1: the filesystem compresses what it stores
  // Free space a copy needs for the file system's own records: a copy that does not fit
  // beside them writes what does and is refused.
  uint64_t copy_overhead = 0;
  std::optional<size_t> max_entries;  // directory/inode table size of the volume
  bool read_only = false;
  bool vanished = false;
  bool folder_moved = false;  // the work folder's path now leads elsewhere
  bool flush_fails = false;
  int free_queries = 0;
  int pads = 0;
  std::set<std::string> foreign_folders;  // folders that another user owns or may write in
  std::set<std::string> busy_folders;     // folders a running cleaning holds
  // Refusals of single-cluster appends that the volume makes while the given number of small
  // files stands (a file table full of them): every give-back lowers the count.
  std::optional<size_t> refuse_clusters_above_entries;
  int flushes = 0;
  std::vector<std::string> deleted;  // in order
  std::vector<std::string> written_before_flush;
  uint64_t free_at_flush = 0;
  // Called before every write ("write", "append", "copy") and deletion ("delete").
  std::function<void(std::string_view op, const std::string& path)> on_op;
  // Listed after D; only D can be cleaned.
  std::vector<VolumeInfo> more_volumes;
  std::vector<std::string> appended;  // files appended to, in order of their first append

  // engine::VolumeAccess
  std::vector<VolumeInfo> Volumes() override {
    if (vanished) return {};
    VolumeInfo v = info_;
    v.AvailableSpace = Free();
    std::vector<VolumeInfo> all{v};
    all.insert(all.end(), more_volumes.begin(), more_volumes.end());
    return all;
  }
  std::optional<uint64_t> FreeSpace(std::string_view letter) override {
    ++free_queries;
    if (letter == "C") return uint64_t{1} << 40;
    if (vanished || letter != "D") return std::nullopt;
    return Writable() + reported_extra;
  }
  std::string RootOf(std::string_view letter) override {
    return letter == "D" && !vanished ? info_.RootPath : std::string();
  }
  bool DataFileExists(const std::string& path) override { return files_.contains(path); }
  bool FolderExists(const std::string& path) {
    return folders_.contains(path) && !(vanished && (OnVolume(path) || path == info_.RootPath));
  }
  bool MakeFolder(const std::string& path) {
    if (!Writable(path)) return false;
    folders_[path] = true;
    return true;
  }
  bool RemoveEmptyFolder(const std::string& path) {
    for (const auto& [p, f] : files_) {
      if (Parent(p) == path) return false;
    }
    for (const auto& [p, f] : folders_) {
      if (Parent(p) == path) return false;
    }
    return folders_.erase(path) > 0;
  }
  void RemoveTree(const std::string& path) {
    std::erase_if(files_, [&](const auto& entry) {
      if (!Below(entry.first, path)) return false;
      Forget(entry.first, entry.second);
      return true;
    });
    std::erase_if(folders_, [&](const auto& entry) {
      return entry.first == path || Below(entry.first, path);
    });
  }
  bool DeleteFile(const std::string& path) override {
    if (on_op) on_op("delete", path);
    if (vanished || read_only) return false;
    auto it = files_.find(path);
    if (it == files_.end()) return false;
    Forget(path, it->second);
    files_.erase(it);
    deleted.push_back(path);
    return true;
  }
  bool ListFiles(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    if (!folders_.contains(folder)) return false;
    for (const auto& [p, f] : files_) {
      if (Parent(p) == folder) names.push_back(p.substr(folder.size() + 1));
    }
    return true;
  }
  std::unique_ptr<engine::FileWriter> CreateFile(const std::string& path,
                                                 engine::IoStatus& status) override;
  engine::IoStatus WriteNewFile(const std::string& path, std::string_view data) {
    if (on_op) on_op("write", path);
    if (!Writable(path)) return engine::IoStatus::kFailed;
    auto it = files_.find(path);
    if (it == files_.end() && OnVolume(path) && max_entries && entries_ >= *max_entries) {
      return engine::IoStatus::kNoSpace;
    }
    if (it != files_.end()) Forget(path, it->second);
    files_[path] = File{};
    if (OnVolume(path)) ++entries_;
    return Append(path, data);
  }
  engine::IoStatus AppendToFile(const std::string& path, std::string_view data) {
    if (on_op) on_op("append", path);
    if (std::find(appended.begin(), appended.end(), path) == appended.end()) {
      appended.push_back(path);
    }
    if (!Writable(path)) return engine::IoStatus::kFailed;
    if (!files_.contains(path)) return WriteNewFile(path, data);
    return Append(path, data);
  }
  engine::IoStatus CopyFile(const std::string& from, const std::string& to) {
    if (on_op) on_op("copy", to);
    auto it = files_.find(from);
    if (it == files_.end() || !Writable(to)) return engine::IoStatus::kFailed;
    File source = it->second;
    if (WriteNewFile(to, "") != engine::IoStatus::kOk) return engine::IoStatus::kFailed;
    files_[to].content = source.content;
    uint64_t room = Writable() > copy_overhead ? Writable() - copy_overhead : 0;
    if (copy_overhead > 0 && source.size > room) {
      Grow(to, room / kBlock * kBlock);
      return engine::IoStatus::kNoSpace;
    }
    return Grow(to, source.size);
  }
  // The fake keeps too little content to tell; the job then copies the ordinary way.
  bool ReadRepetition(const std::string&, size_t, std::string&, uint64_t&) override {
    return false;
  }
  std::optional<uint64_t> ClusterSize(std::string_view letter) override {
    if (letter != "D") return std::nullopt;
    return kBlock;
  }
  std::unique_ptr<engine::WorkFolderHandle> OpenWorkFolder(const std::string& path,
                                                           engine::FolderRefusal& why) override;
  engine::FolderState InspectFolder(const std::string& path) override {
    if (!FolderExists(path)) return engine::FolderState::kAbsent;
    if (foreign_folders.contains(path)) return engine::FolderState::kForeign;
    return busy_folders.contains(path) ? engine::FolderState::kBusy : engine::FolderState::kOurs;
  }
  bool RemoveLeftover(const std::string& path) override {
    if (InspectFolder(path) != engine::FolderState::kOurs) return false;
    RemoveTree(path);
    return true;
  }
  engine::IoStatus CutEnd(const std::string& path, uint64_t bytes) {
    auto it = files_.find(path);
    if (it == files_.end()) return engine::IoStatus::kFailed;
    uint64_t size = it->second.size - std::min(it->second.size, bytes);
    used_ -= Allocated(path, it->second.size) - Allocated(path, size);
    it->second.size = size;
    if (it->second.content.size() > size) it->second.content.resize(size);
    return engine::IoStatus::kOk;
  }
  // Rounds the file's size up to a multiple of `unit`.
  engine::IoStatus Pad(const std::string& path, uint64_t unit) {
    auto it = files_.find(path);
    if (it == files_.end()) return engine::IoStatus::kOk;
    uint64_t missing = (unit - it->second.size % unit) % unit;
    ++pads;
    return Append(path, std::string(missing, ' '));
  }
  engine::IoStatus AppendDurably(const std::string& path, std::string_view data) {
    ++durable_appends;
    return AppendToFile(path, data);
  }
  std::optional<uint64_t> SetAsideReserve(std::string_view letter) override {
    if (letter != "D" || reserve_pool == 0) return std::nullopt;
    pool_set_aside = true;
    return reserve_pool / kBlock;
  }
  void RestoreReserve(std::string_view /*letter*/, uint64_t pool) override {
    pool_set_aside = pool * kBlock != reserve_pool;
    ++pool_restores;
  }
  bool Flush(const std::string& /*folder*/) {
    ++flushes;
    free_at_flush = Free();
    written_before_flush.clear();
    for (const auto& [p, f] : files_) written_before_flush.push_back(p);
    return !flush_fails;
  }
  void EmptyRecycleBin() override { ++bins_emptied; }
  int bins_emptied = 0;

  engine::IoStatus Append(const std::string& path, std::string_view data) {
    File& file = files_[path];
    if (file.size + data.size() <= kKeepContent) file.content.append(data);
    return Grow(path, data.size());
  }

 private:
  engine::IoStatus Grow(const std::string& path, uint64_t bytes) {
    File& file = files_[path];
    uint64_t before = Allocated(path, file.size);
    uint64_t after = Allocated(path, file.size + bytes);
    if (OnVolume(path) && after - before > Writable()) {
      return engine::IoStatus::kNoSpace;
    }
    if (OnVolume(path) && after > before && refuse_clusters_above_entries &&
        entries_ > *refuse_clusters_above_entries) {
      return engine::IoStatus::kNoSpace;
    }
    file.size += bytes;
    used_ += after - before;
    return engine::IoStatus::kOk;
  }
  uint64_t Allocated(const std::string& path, uint64_t size) const {
    if (!OnVolume(path)) return 0;
    auto stored = static_cast<uint64_t>(static_cast<double>(size) * stored_fraction);
    return (stored + kBlock - 1) / kBlock * kBlock;
  }
  void Forget(const std::string& path, const File& file) {
    used_ -= Allocated(path, file.size);
    if (OnVolume(path)) --entries_;
  }
  bool OnVolume(const std::string& path) const { return Below(path, info_.RootPath); }
  bool Writable(const std::string& path) const {
    if (OnVolume(path)) return !vanished && !read_only && folders_.contains(Parent(path));
    return Below(path, data_folder_);
  }
  static bool Below(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path[folder.size()] == '/' || path[folder.size()] == '\\');
  }
  // The engine joins with the platform's separator, the fake its own names with '/'.
  static std::string Parent(const std::string& path) {
    return path.substr(0, path.find_last_of("/\\"));
  }

  uint64_t capacity_;
  std::string data_folder_;
  VolumeInfo info_;
  std::map<std::string, File> files_;
  std::map<std::string, bool> folders_;
  uint64_t used_ = 0;
  size_t entries_ = 0;
};

class FakeWriter final : public engine::FileWriter {
 public:
  FakeWriter(FakeVolumeAccess& volume, std::string path)
      : volume_(volume), path_(std::move(path)) {}
  engine::IoStatus Write(std::string_view data) override { return volume_.Append(path_, data); }
  engine::IoStatus Close() override { return engine::IoStatus::kOk; }

 private:
  FakeVolumeAccess& volume_;
  std::string path_;
};

// The work folder of the fake volume: names are joined to its path and handed to the volume.
class FakeWorkFolder final : public engine::WorkFolderHandle {
 public:
  FakeWorkFolder(FakeVolumeAccess& volume, std::string path)
      : volume_(volume), path_(std::move(path)) {}
  engine::IoStatus Create(std::string_view name, std::string_view data) override {
    return volume_.WriteNewFile(Path(name), data);
  }
  engine::IoStatus Append(std::string_view name, std::string_view data, bool durable) override {
    return durable ? volume_.AppendDurably(Path(name), data)
                   : volume_.AppendToFile(Path(name), data);
  }
  engine::IoStatus Copy(const std::string& source, std::string_view name) override {
    return volume_.CopyFile(source, Path(name));
  }
  engine::IoStatus WriteRepeated(std::string_view, std::string_view, uint64_t) override {
    return engine::IoStatus::kFailed;
  }
  engine::IoStatus PadToMultiple(std::string_view name, uint64_t unit, std::string_view) override {
    return volume_.Pad(Path(name), unit);
  }
  engine::IoStatus CutEnd(std::string_view name, uint64_t bytes) override {
    return volume_.CutEnd(Path(name), bytes);
  }
  bool ListWorkFiles(std::vector<std::string>& names) override {
    return volume_.ListFiles(path_, names);
  }
  bool Delete(std::string_view name) override { return volume_.DeleteFile(Path(name)); }
  bool Flush() override { return volume_.Flush(path_); }
  void DisableCompression() override {}
  bool StillInPlace() override { return volume_.FolderExists(path_) && !volume_.folder_moved; }
  bool RemoveIfEmpty() override { return volume_.RemoveEmptyFolder(path_); }
  void RemoveAll() override { volume_.RemoveTree(path_); }

 private:
  std::string Path(std::string_view name) const { return path_ + "/" + std::string(name); }
  FakeVolumeAccess& volume_;
  std::string path_;
};

inline std::unique_ptr<engine::WorkFolderHandle> FakeVolumeAccess::OpenWorkFolder(
    const std::string& path, engine::FolderRefusal& why) {
  why = engine::FolderRefusal::kUnusable;
  if (foreign_folders.contains(path)) {
    why = engine::FolderRefusal::kNotOurs;
    return nullptr;
  }
  if (busy_folders.contains(path)) {
    why = engine::FolderRefusal::kBusy;
    return nullptr;
  }
  if (!FolderExists(path)) MakeFolder(path);
  if (!FolderExists(path)) return nullptr;
  why = engine::FolderRefusal::kNone;
  return std::make_unique<FakeWorkFolder>(*this, path);
}

inline std::unique_ptr<engine::FileWriter> FakeVolumeAccess::CreateFile(const std::string& path,
                                                                        engine::IoStatus& status) {
  status = WriteNewFile(path, "");
  if (status != engine::IoStatus::kOk) return nullptr;
  return std::make_unique<FakeWriter>(*this, path);
}

}  // namespace nd::test
