// The operating system's policy of wiping its paging file at every shutdown, where it has one.
// It is the machine's own setting, not one of the program's.
#pragma once

#include <cstdint>
#include <optional>

namespace nd::platform {

class PagingFilePolicy {
 public:
  virtual ~PagingFilePolicy() = default;
  // The stored number (1 wipes, 0 does not); nullopt when it is missing or unreadable.
  virtual std::optional<uint32_t> Read() = 0;
  // Stores 1 or 0 into the policy's existing place, which is never created; false when the
  // value could not be stored.
  virtual bool Write(bool clear) = 0;
};

// The machine's policy; null where the system has none.
PagingFilePolicy* SystemPagingFilePolicy();

}  // namespace nd::platform
