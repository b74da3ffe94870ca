// Deleted content with a recognisable marker, and the search for it on a raw volume image.
//
// Every line of a planted file reads "NDMARK-<tag>-<file>-<line>", so that any 512-byte sector
// that survives a cleaning names the file it came from. The same code plants on the host and,
// through residue_tool, inside a user-mode Linux guest, where only the real FAT driver exists.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace nd::test {

struct PlantPlan {
  std::string tag;  // letters and digits only; one per file system case
  int large_files = 20;
  uint64_t large_min_bytes = 2ull << 20;
  uint64_t large_max_bytes = 4ull << 20;
  int small_files = 200;
  // Then files of 8 MiB until the volume is full, so that every free block holds deleted
  // data and any block the cleaning leaves out shows.
  bool fill_rest = true;
};

// Marker files below `root`/ndmark-old, written to the device and then deleted again. The
// bytes planted; 0 when a write, the flush or the deletion failed, and then `error` says which.
uint64_t PlantDeletedFiles(const std::string& root, const PlantPlan& plan,
                           std::string* error = nullptr);

// The files a user keeps on the volume, by path relative to `root`, with their checksums.
using Checksums = std::map<std::string, uint64_t>;
Checksums WriteUserFiles(const std::string& root);
// The same files as they are now; a missing one has no entry.
Checksums ReadUserFiles(const std::string& root);

std::string FormatChecksums(const Checksums& sums);
Checksums ParseChecksums(const std::string& text);

// Marker lines found on an image, by planted file: "L007" for a large one, "S123" for a small
// one, "R012" for one that filled the rest.
struct FileResidue {
  uint64_t lines = 0;
  uint64_t sectors = 0;
  uint64_t first_offset = 0;
};

struct Residue {
  std::map<std::string, FileResidue> files;
  bool readable = false;

  uint64_t Lines() const;
  uint64_t Sectors() const;
  // How many of the files of a kind ('L', 'S' or 'R') left something.
  uint64_t Files(char kind) const;
  // Which files survived, how much of each, and where the first piece lies.
  std::string Describe() const;
};

Residue ScanImage(const std::string& image, const std::string& tag);

// "L007" for the eighth large file; the same for 'S' and 'R'.
std::string MarkerFileId(char kind, int index);

// Length of one marker line, for turning a line count into bytes.
uint64_t MarkerLineBytes(const std::string& tag);

}  // namespace nd::test
