// A real volume for one test: an ext4 or NTFS (ntfs-3g) image on a loop device, or a tmpfs,
// mounted in a private temporary folder and removed with everything in it when the object
// goes, also when the test fails. Without root, or without the tools, it is not Ready() and
// says why.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nd::test {

struct ScratchVolumeOptions {
  uint64_t inodes = 0;  // ext4: the size of the inode table; 0 for mkfs's choice
  std::string label;
  int reserved_percent = -1;           // ext4: the root reserve; -1 for mkfs's 5 %
  std::vector<std::string> mkfs_args;  // anything else for mkfs, e.g. {"-b", "4096"}
  // As a real disk behaves: the image is written in full once (so that the host's blocks
  // exist) and the loop device reads and writes it past the host's page cache.
  bool like_a_disk = false;
};

class ScratchVolume {
 public:
  enum class Kind { kExt4, kNtfs, kTmpfs };
  using Options = ScratchVolumeOptions;

  // Never null; check Ready() and skip with SkipReason() when it is not.
  static std::unique_ptr<ScratchVolume> Make(Kind kind, uint64_t size_bytes,
                                             const Options& options = {});

  ScratchVolume(Kind kind, uint64_t size_bytes, const Options& options = {});
  ~ScratchVolume();
  ScratchVolume(const ScratchVolume&) = delete;
  ScratchVolume& operator=(const ScratchVolume&) = delete;

  bool Ready() const { return skip_reason_.empty(); }
  const std::string& SkipReason() const { return skip_reason_; }
  const std::string& MountPoint() const { return mount_point_; }
  const std::string& Device() const { return device_; }  // empty for tmpfs
  const std::string& Image() const { return image_; }

  bool RemountReadOnly();
  // A fresh file system on the same device, mounted again: nothing of the last run is left.
  bool Reformat();
  // Takes the volume away under whoever uses it; the destructor then only cleans up.
  bool Unmount();

  // Runs a program (no shell) and waits; its exit status, -1 when it could not run.
  static int Run(const std::vector<std::string>& argv, std::string* output = nullptr);

 private:
  bool Create(Kind kind, uint64_t size_bytes, const Options& options);
  bool Format(const std::string& target);
  bool Mount();
  bool MountNtfs();
  bool WaitForMount() const;
  bool Mounted() const;
  void StopFuse();

  Kind kind_ = Kind::kTmpfs;
  Options options_;
  std::string skip_reason_;
  std::string folder_;
  std::string image_;
  std::string mount_point_;
  std::string device_;
  pid_t fuse_pid_ = -1;
  bool mounted_ = false;
};

}  // namespace nd::test
