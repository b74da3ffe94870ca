// What the benchmarks share: running a tool, the free-space trace and its figures, and the
// side-by-side table of several tools on one scratch volume.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "integration/scratch_volume.h"

namespace nd::bench {

using Clock = std::chrono::steady_clock;

inline constexpr uint64_t kGiB = 1ull << 30;
// mkfs.ext4's -E for every scratch volume: no discard, and the tables written at once, so that
// no lazy initialisation competes with the tool.
inline constexpr const char* kExt4Extended = "nodiscard,lazy_itable_init=0,lazy_journal_init=0";

double Seconds(Clock::time_point since);
double Median(std::vector<double> values);
bool HasProgram(const std::string& name);

// Runs a program with its output on /dev/null and waits for it, with `env` added to (and
// replacing what it names in) this process's environment, in `folder` when one is given. Its
// exit status, -1 when it could not run; its peak memory from the kernel's accounting.
int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          long* peak_kb = nullptr, const std::string& folder = {});

uint64_t FreeBytes(const std::string& mount);
void SyncAndDropCaches();
// What the block device has written so far, from its counters; 0 when they cannot be read.
uint64_t DeviceBytesWritten(const std::string& device);

// The volume's free space every 10 ms while a tool runs.
class FreeSpaceTrace {
 public:
  explicit FreeSpaceTrace(std::string mount);
  ~FreeSpaceTrace() { Stop(); }
  FreeSpaceTrace(const FreeSpaceTrace&) = delete;
  FreeSpaceTrace& operator=(const FreeSpaceTrace&) = delete;

  void Stop();
  Clock::time_point Start() const { return start_; }
  const std::vector<std::pair<double, uint64_t>>& Samples() const { return samples_; }

 private:
  std::string mount_;
  Clock::time_point start_;
  std::atomic<bool> stop_ = false;
  std::vector<std::pair<double, uint64_t>> samples_;
  std::thread thread_;
};

// One run of one tool: when the free space reached its lowest value, counted from the tool's
// start; the whole run; and the rate between a quarter and 85 % of the way down, past the
// start-up and before the end game.
struct Outcome {
  double to_full = 0;
  double whole = 0;
  double steady = 0;  // bytes per second
  uint64_t lowest = 0;
  // The whole run and a sync after it: until everything the tool wrote is on the device, and
  // how much that was.
  double on_device = 0;
  uint64_t device_bytes = 0;
  int status = -1;
  long peak_kb = 0;
};

Outcome Measure(const std::vector<std::pair<double, uint64_t>>& samples, double whole);

struct Tool {
  std::string name;
  std::string program;  // what must be installed
  // Runs on the mounted, freshly made volume; returns its exit status.
  std::function<int(const std::string& mount, Outcome& out)> run;
  std::optional<int> expected_status;  // a run ending otherwise is named under the table
};

// The fills of the usual tools and of the program on a volume (`data`: the scratch tmpfs for
// the copy source and the peers' home folders; `cleaner`: the Linux nulldrift-clean).
std::vector<Tool> Tools(const std::string& data, const std::string& cleaner, bool verbose);
bool Installed(const Tool& tool);

// Several tools on one kind of scratch volume, alternating, a fresh file system and cold
// caches before every run; the table of medians with ratios to `reference`.
struct Comparison {
  std::string title;
  test::ScratchVolume::Kind kind = test::ScratchVolume::Kind::kExt4;
  uint64_t size = 0;
  std::vector<Tool> tools;
  std::string reference;        // the tool the ratios divide by
  std::string reference_label;  // its short name in the table's head
  std::string peak_tool;        // whose peak memory is printed
  // For mkfs.ext4; the bench's usual ones when empty.
  std::vector<std::string> mkfs_args;
  // After each fresh file system, before the caches are dropped; false stops the comparison.
  std::function<bool(const test::ScratchVolume&)> prepare;
  // After the last run, while the volume is still there.
  std::function<void()> done;
};
void SideBySide(const Comparison& comparison, int rounds, bool verbose);

// nulldrift-clean.exe from `windows_build` under Wine on a scratch ext4 volume mapped as D: of
// a scratch prefix, against dd conv=fsync on the same volume. Says why when it cannot run.
void WineFill(const std::string& data, const std::string& windows_build,
              const std::string& source_dir, int rounds, bool verbose);

}  // namespace nd::bench
