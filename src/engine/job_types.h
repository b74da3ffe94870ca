// The small vocabularies of a cleaning job. Each value keeps the number that the job log, the
// statistics keys and the text keys ("WORK-STATUS-" + number) store.
#pragma once

#include <ostream>
#include <string>

namespace nd::engine {

// A volume's result.
enum class WorkStatusCode : int {
  kStopped = 0,
  kCompleted = 1,
  kPreparationFailed = 2,
  kFillFailed = 3,
  kSmallFilesFailed = 4,
  kCopySourceFailed = 5,
  kDeletionFailed = 6,
};

inline constexpr WorkStatusCode kStatusStopped = WorkStatusCode::kStopped;
inline constexpr WorkStatusCode kStatusCompleted = WorkStatusCode::kCompleted;
inline constexpr WorkStatusCode kStatusPreparationFailed = WorkStatusCode::kPreparationFailed;
inline constexpr WorkStatusCode kStatusFillFailed = WorkStatusCode::kFillFailed;
inline constexpr WorkStatusCode kStatusSmallFilesFailed = WorkStatusCode::kSmallFilesFailed;
inline constexpr WorkStatusCode kStatusCopySourceFailed = WorkStatusCode::kCopySourceFailed;
inline constexpr WorkStatusCode kStatusDeletionFailed = WorkStatusCode::kDeletionFailed;

// Way 1 writes the small files only; way 2 also fills the free space.
enum class CleanWay : int { kFileRecords = 1, kFreeSpace = 2 };

// How many small files at the most: 20,000, 70,000 or 150,000.
enum class NtfsMode : int { kFew = 1, kMore = 2, kMost = 3 };

// The four sub-steps of a volume, also the slots of their status pictures.
enum class SubStep : int { kSmallFiles = 0, kCopySource = 1, kFill = 2, kDeletion = 3 };

template <class Enum>
constexpr int Number(Enum value) {
  return static_cast<int>(value);
}

inline std::string NumberText(WorkStatusCode code) { return std::to_string(Number(code)); }

// Test failures and logs show the stored number.
inline std::ostream& operator<<(std::ostream& out, WorkStatusCode code) {
  return out << Number(code);
}
inline std::ostream& operator<<(std::ostream& out, SubStep step) { return out << Number(step); }

}  // namespace nd::engine
