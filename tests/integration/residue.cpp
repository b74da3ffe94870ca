#include "integration/residue.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <vector>

namespace nd::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPlantFolder = "ndmark-old";
constexpr const char* kUserFolder = "keep";
constexpr uint64_t kSector = 512;

std::string Prefix(const std::string& tag) { return "NDMARK-" + tag + "-"; }

bool IsFileId(const std::string& id) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return id.size() == 4 && (id[0] == 'L' || id[0] == 'S' || id[0] == 'R') && digit(id[1]) &&
         digit(id[2]) && digit(id[3]);
}

std::string MarkerText(const std::string& tag, const std::string& id, uint64_t size) {
  std::string head = Prefix(tag) + id + "-";
  std::string text;
  text.reserve(size + 64);
  char number[16];
  for (uint64_t line = 0; text.size() < size; ++line) {
    std::snprintf(number, sizeof number, "%06llu\n",
                  static_cast<unsigned long long>(line % 1000000));
    text += head;
    text += number;
  }
  text.resize(size);
  return text;
}

enum class Written { kAll, kVolumeFull, kFailed };

// Whatever part of `data` fits stays on the device also when the volume gets full.
Written WriteAll(const std::string& path, const std::string& data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno == ENOSPC ? Written::kVolumeFull : Written::kFailed;
  size_t done = 0;
  int error = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 && error == 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0) return Written::kAll;
  return error == ENOSPC || error == EDQUOT ? Written::kVolumeFull : Written::kFailed;
}

// Everything written on the volume of `path` reaches its device.
bool SyncVolume(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

uint64_t Checksum(const std::string& path) {
  uint64_t hash = 1469598103934665603ull;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
    for (ssize_t i = 0; i < n; ++i) {
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    }
  }
  ::close(fd);
  return hash;
}

std::string RandomBytes(uint64_t size, unsigned seed) {
  std::mt19937_64 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

}  // namespace

uint64_t PlantDeletedFiles(const std::string& root, const PlantPlan& plan, std::string* error) {
  auto fail = [error](const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return uint64_t{0};
  };
  std::string folder = root + "/" + kPlantFolder;
  std::error_code ec;
  fs::create_directories(folder + "/small", ec);
  if (ec) return fail("cannot make " + folder);
  std::mt19937 generator(7);
  uint64_t planted = 0;
  for (int i = 0; i < plan.large_files; ++i) {
    uint64_t span = plan.large_max_bytes - plan.large_min_bytes;
    uint64_t size = plan.large_min_bytes + (span ? generator() % span : 0);
    std::string path = folder + "/large-" + std::to_string(i) + ".txt";
    if (WriteAll(path, MarkerText(plan.tag, MarkerFileId('L', i), size)) != Written::kAll) {
      return fail("cannot write " + path);
    }
    planted += size;
  }
  // Small files of every length from a few sectors down to part of one, as letters and notes.
  for (int i = 0; i < plan.small_files; ++i) {
    uint64_t size = 300 + generator() % 6000;
    std::string path = folder + "/small/note-" + std::to_string(i) + ".txt";
    if (WriteAll(path, MarkerText(plan.tag, MarkerFileId('S', i), size)) != Written::kAll) {
      return fail("cannot write " + path);
    }
    planted += size;
  }
  constexpr uint64_t kRestFile = 8ull << 20;
  for (int i = 0; plan.fill_rest && i < 1000; ++i) {
    std::string path = folder + "/rest-" + std::to_string(i) + ".bin";
    Written written = WriteAll(path, MarkerText(plan.tag, MarkerFileId('R', i), kRestFile));
    if (written == Written::kFailed) return fail("cannot write " + path);
    if (written == Written::kVolumeFull) break;
    planted += kRestFile;
  }
  if (!SyncVolume(root)) return fail("cannot flush " + root);
  fs::remove_all(folder, ec);
  if (ec) return fail("cannot delete " + folder);
  if (!SyncVolume(root)) return fail("cannot flush " + root);
  return planted;
}

Checksums WriteUserFiles(const std::string& root) {
  std::string folder = root + "/" + kUserFolder;
  std::error_code ec;
  fs::create_directories(folder + "/deep/er", ec);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"letter.txt", std::string(1500, 'x') + "\r\nregards\r\n"},
      {"empty.txt", ""},
      {"photo.jpg", RandomBytes(700'000, 1)},
      {"archive.zip", RandomBytes(3'000'001, 2)},
      {"deep/er/notes.txt", RandomBytes(4097, 3)},
  };
  for (const auto& [name, data] : files) WriteAll(folder + "/" + name, data);
  SyncVolume(root);
  return ReadUserFiles(root);
}

Checksums ReadUserFiles(const std::string& root) {
  Checksums sums;
  std::string folder = root + "/" + kUserFolder;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != end(it);
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    sums[fs::relative(it->path(), root).string()] = Checksum(it->path().string());
  }
  return sums;
}

std::string FormatChecksums(const Checksums& sums) {
  std::string text;
  for (const auto& [path, sum] : sums) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%016llx ", static_cast<unsigned long long>(sum));
    text += hex + path + "\n";
  }
  return text;
}

Checksums ParseChecksums(const std::string& text) {
  Checksums sums;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    size_t blank = line.find(' ');
    if (blank != 16) continue;
    sums[line.substr(17)] = std::stoull(line.substr(0, 16), nullptr, 16);
  }
  return sums;
}

uint64_t Residue::Lines() const {
  uint64_t n = 0;
  for (const auto& [id, file] : files) n += file.lines;
  return n;
}

uint64_t Residue::Sectors() const {
  uint64_t n = 0;
  for (const auto& [id, file] : files) n += file.sectors;
  return n;
}

uint64_t Residue::Files(char kind) const {
  return static_cast<uint64_t>(std::count_if(files.begin(), files.end(),
                                             [kind](const auto& f) { return f.first[0] == kind; }));
}

std::string Residue::Describe() const {
  std::ostringstream out;
  out << Files('L') << " large, " << Files('S') << " small and " << Files('R')
      << " volume-filling deleted files survive: " << Lines() << " marker lines in " << Sectors()
      << " sectors (" << Sectors() * kSector << " bytes)";
  // The biggest survivors first; a long tail only as a count.
  std::vector<std::pair<std::string, FileResidue>> sorted(files.begin(), files.end());
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.second.lines > b.second.lines; });
  size_t shown = 0;
  for (const auto& [id, file] : sorted) {
    if (++shown > 12) {
      out << "\n  ... and " << sorted.size() - 12 << " more";
      break;
    }
    out << "\n  " << id << ": " << file.lines << " lines in " << file.sectors
        << " sectors, first at byte " << file.first_offset;
  }
  return out.str();
}

// The same width for both kinds, so that every line of a tag is as long.
std::string MarkerFileId(char kind, int index) {
  char id[8];
  std::snprintf(id, sizeof id, "%c%03d", kind, index % 1000);
  return id;
}

uint64_t MarkerLineBytes(const std::string& tag) { return Prefix(tag).size() + 4 + 1 + 6 + 1; }

Residue ScanImage(const std::string& image, const std::string& tag) {
  Residue residue;
  int fd = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return residue;
  const std::string prefix = Prefix(tag);
  const size_t id_end = prefix.size() + 4;
  constexpr size_t kChunk = 8u << 20;
  // A marker that starts near the end of a chunk is read whole with the overlap and counted
  // there; the next chunk only counts markers that start inside it.
  std::vector<char> buffer(kChunk + id_end + 1);
  std::map<std::string, uint64_t> last_sector;
  residue.readable = true;
  for (uint64_t base = 0;; base += kChunk) {
    ssize_t got = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(base));
    if (got < 0) residue.readable = false;
    if (got <= 0) break;
    const char* begin = buffer.data();
    const char* end = begin + got;
    for (const char* at = begin;
         (at = static_cast<const char*>(
              ::memmem(at, static_cast<size_t>(end - at), prefix.data(), prefix.size())));
         at += prefix.size()) {
      if (static_cast<size_t>(at - begin) >= kChunk) break;
      if (static_cast<size_t>(end - at) < id_end + 1) break;
      std::string id(at + prefix.size(), 4);
      // A line cut off at the end of its file is followed by whatever the cluster held next.
      if (!IsFileId(id) || at[id_end] != '-') continue;
      uint64_t offset = base + static_cast<uint64_t>(at - begin);
      FileResidue& file = residue.files[id];
      if (file.lines == 0) file.first_offset = offset;
      ++file.lines;
      uint64_t sector = offset / kSector;
      auto [seen, fresh] = last_sector.try_emplace(id, sector);
      if (fresh || seen->second != sector) ++file.sectors;
      seen->second = sector;
    }
    if (static_cast<size_t>(got) < buffer.size()) break;
  }
  ::close(fd);
  return residue;
}

}  // namespace nd::test
