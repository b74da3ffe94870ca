// A user-mode Linux guest for one test: Debian's user-mode-linux kernel, run as an ordinary
// process, with the host's own root read-only through hostfs and a volume image as its disk
// /dev/ubda. This host's kernel has no FAT driver; the guest's has (fat.ko and vfat.ko among
// its modules), so FAT volumes are mounted, written and cleaned by the real driver.
//
// The guest runs a shell script of the test's as root, with /tmp a guest tmpfs and one host
// folder, Shared(), writable at /tmp/host. $BUILD names the build folder. Everything lives in a
// private temporary folder that goes with the object. Where the kernel, its modules or the tools
// are missing, or the guest cannot start here, it is not Ready() or Run() says why, and the test
// skips.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace nd::test {

class UmlGuest {
 public:
  UmlGuest();
  ~UmlGuest();
  UmlGuest(const UmlGuest&) = delete;
  UmlGuest& operator=(const UmlGuest&) = delete;

  bool Ready() const { return skip_reason_.empty(); }
  const std::string& SkipReason() const { return skip_reason_; }

  // The host folder the guest sees at /tmp/host.
  const std::string& Shared() const { return shared_; }
  // A private host folder for the test's images; the guest sees it only read-only.
  const std::string& Scratch() const { return scratch_; }

  enum class Outcome {
    kRan,         // the script ran to its end; its exit status is ScriptStatus()
    kNoStart,     // the guest never reached the script: UML cannot run here (see Console())
    kTimedOut,    // the guest was still running after `patience` and was ended
    kNoPowerOff,  // the script ended but the guest did not shut down by itself
  };

  // Boots with `image` as /dev/ubda (empty for no disk) and runs `script` with sh as root; its
  // output goes to Shared()/script.log. Blocks until the guest has stopped.
  Outcome Run(const std::string& image, const std::string& script, std::chrono::seconds patience);

  int ScriptStatus() const { return script_status_; }
  // The guest's console: its kernel log and the init script's own complaints.
  std::string Console() const;
  std::string ScriptLog() const;
  std::string ReadShared(const std::string& name) const;

  // The guest's memory; the volume's cache and the guest's /tmp come out of it.
  static constexpr int kMemoryMiB = 256;

 private:
  std::string Kernel() const;
  bool WriteInit(const std::string& script) const;
  bool Wait(pid_t pid, std::chrono::seconds patience, int lifeline);

  std::string skip_reason_;
  std::string folder_;
  std::string shared_;
  std::string scratch_;
  std::string modules_;
  int script_status_ = -1;
};

// How a test reads an Outcome other than kRan: a skip reason for kNoStart, a failure text for
// the rest.
std::string DescribeOutcome(const UmlGuest& guest, UmlGuest::Outcome outcome);

}  // namespace nd::test
