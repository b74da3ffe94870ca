#include "platform/linux/volumes_parse.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace nd::platform::internal {
namespace {

// mountinfo writes blanks, tabs, newlines and backslashes in paths as octal escapes.
std::string DecodeOctal(std::string_view text) {
  auto octal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && octal(text[i + 1]) && octal(text[i + 2]) &&
        octal(text[i + 3])) {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                               (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

uint8_t Byte(std::string_view b, size_t at) { return static_cast<uint8_t>(b[at]); }

uint16_t Le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(Byte(b, at) | Byte(b, at + 1) << 8);
}

uint32_t Le32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(Le16(b, at)) | static_cast<uint32_t>(Le16(b, at + 2)) << 16;
}

uint64_t Le64(std::string_view b, size_t at) {
  return static_cast<uint64_t>(Le32(b, at)) | static_cast<uint64_t>(Le32(b, at + 4)) << 32;
}

uint32_t Be32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(Byte(b, at)) << 24 | static_cast<uint32_t>(Byte(b, at + 1)) << 16 |
         static_cast<uint32_t>(Byte(b, at + 2)) << 8 | Byte(b, at + 3);
}

std::string UpToNul(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

std::string PaddedLabel(std::string_view text) {
  std::string s = UpToNul(text);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Utf16LeToUtf8(std::string_view b) {
  std::string out;
  for (size_t i = 0; i + 1 < b.size(); i += 2) {
    uint32_t unit = Le16(b, i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < b.size()) {
      uint32_t low = Le16(b, i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, unit);
  }
  return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Filesystems the kernel or the system runs on its own; none of them holds users' files.
bool IsPseudo(const std::string& type) {
  static const std::set<std::string> types = {
      "proc",      "sysfs",      "cgroup",  "cgroup2",   "devpts",      "devtmpfs",   "mqueue",
      "overlay",   "squashfs",   "autofs",  "debugfs",   "tracefs",     "securityfs", "pstore",
      "bpf",       "configfs",   "fusectl", "hugetlbfs", "binfmt_misc", "nsfs",       "efivarfs",
      "selinuxfs", "rpc_pipefs", "nfsd",    "erofs",     "cramfs"};
  return types.contains(type);
}

bool IsNetwork(const std::string& type) {
  static const std::set<std::string> types = {"nfs", "nfs4", "cifs", "smb3",      "smbfs",
                                              "9p",  "afs",  "ceph", "glusterfs", "fuse.sshfs"};
  return types.contains(type);
}

// NTFS's boot sector: where the MFT starts and how big its records are, for the label.
void DecodeNtfsGeometry(std::string_view b, DeviceFacts& facts) {
  uint64_t sector = Le16(b, 0x0B);
  uint8_t per_cluster = Byte(b, 0x0D);
  // Values above 0x80 count as a negative power of two (clusters larger than 64 KiB).
  int cluster_shift = per_cluster > 0x80 ? 256 - per_cluster : 0;
  int8_t per_record = static_cast<int8_t>(Byte(b, 0x40));
  if (cluster_shift > 16 || per_record < -16) return;
  uint64_t cluster = cluster_shift > 0 ? sector << cluster_shift : sector * per_cluster;
  uint64_t record =
      per_record < 0 ? uint64_t{1} << -per_record : static_cast<uint64_t>(per_record) * cluster;
  if (sector == 0 || cluster == 0 || record < 512 || record > 65536) return;
  constexpr uint64_t kVolumeRecordNumber = 3;
  facts.ntfs_record_bytes = static_cast<uint32_t>(record);
  facts.ntfs_volume_record = Le64(b, 0x30) * cluster + kVolumeRecordNumber * record;
}

void DecodeExt(std::string_view b, DeviceFacts& facts) {
  constexpr size_t kSuper = 1024;
  constexpr uint32_t kBigalloc = 0x200;
  facts.file_system = "ext";
  facts.label = UpToNul(b.substr(kSuper + 120, 16));
  facts.serial = static_cast<int32_t>(Be32(b, kSuper + 104));
  bool bigalloc = (Le32(b, kSuper + 100) & kBigalloc) != 0;
  uint32_t log_size = Le32(b, kSuper + (bigalloc ? 28 : 24));
  if (log_size <= 20) facts.cluster_bytes = uint64_t{1024} << log_size;
}

// FAT's extended boot record carries the serial, and the label when its signature is 0x29.
void DecodeFat(std::string_view b, DeviceFacts& facts) {
  bool fat32 = Le16(b, 0x16) == 0;
  facts.file_system = fat32 ? "FAT32" : "FAT";
  size_t record = fat32 ? 0x40 : 0x24;
  uint8_t signature = Byte(b, record + 2);
  if (signature != 0x28 && signature != 0x29) return;
  facts.serial = static_cast<int32_t>(Le32(b, record + 3));
  if (signature != 0x29) return;
  std::string label = PaddedLabel(b.substr(record + 7, 11));
  facts.label = label == "NO NAME" ? std::string() : label;
}

bool LooksLikeFat(std::string_view b) {
  bool jump = Byte(b, 0) == 0xEB || Byte(b, 0) == 0xE9;
  return jump && Byte(b, 510) == 0x55 && Byte(b, 511) == 0xAA && Le16(b, 11) >= 512 &&
         Byte(b, 13) != 0;
}

}  // namespace

std::vector<MountRecord> ParseMountInfo(std::string_view text) {
  std::vector<MountRecord> records;
  std::istringstream lines{std::string(text)};
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string id, parent, dev, root, mount_point, options;
    if (!(fields >> id >> parent >> dev >> root >> mount_point >> options)) continue;
    // Optional fields such as "shared:5" run up to the lone dash.
    std::string word;
    while (fields >> word && word != "-") {
    }
    MountRecord record;
    std::string source;
    if (word != "-" || !(fields >> record.fs_type)) continue;
    fields >> source >> record.super_options;
    size_t colon = dev.find(':');
    if (colon == std::string::npos) continue;
    record.id = static_cast<unsigned>(std::strtoul(id.c_str(), nullptr, 10));
    record.parent = static_cast<unsigned>(std::strtoul(parent.c_str(), nullptr, 10));
    record.major = static_cast<unsigned>(std::strtoul(dev.c_str(), nullptr, 10));
    record.minor = static_cast<unsigned>(std::strtoul(dev.c_str() + colon + 1, nullptr, 10));
    record.root = DecodeOctal(root);
    record.mount_point = DecodeOctal(mount_point);
    record.fs_type = DecodeOctal(record.fs_type);
    record.source = DecodeOctal(source);
    records.push_back(std::move(record));
  }
  return records;
}

ReserveOwners ParseReserveOwners(std::string_view super_options) {
  ReserveOwners owners;
  std::string options(super_options);
  std::istringstream items(options);
  for (std::string item; std::getline(items, item, ',');) {
    if (StartsWith(item, "resuid="))
      owners.uid = static_cast<unsigned>(std::strtoul(item.c_str() + 7, nullptr, 10));
    if (StartsWith(item, "resgid="))
      owners.gid = static_cast<unsigned>(std::strtoul(item.c_str() + 7, nullptr, 10));
  }
  return owners;
}

MountKind KindOf(const MountRecord& mount) {
  const std::string& type = mount.fs_type;
  if (IsPseudo(type)) return MountKind::kNone;
  if (type == "tmpfs" || type == "ramfs") return MountKind::kRam;
  if (type == "iso9660" || type == "udf") return MountKind::kOptical;
  if (IsNetwork(type)) return MountKind::kNetwork;
  // FUSE filesystems other than fuseblk serve files from somewhere else, whatever they name
  // as their source (often /dev/fuse).
  if (type == "fuse" || StartsWith(type, "fuse.")) return MountKind::kNone;
  if (StartsWith(mount.source, "/dev/")) return MountKind::kBlock;
  return MountKind::kNone;
}

std::vector<bool> Visibility(const std::vector<MountRecord>& mounts) {
  std::map<unsigned, size_t> by_id;
  for (size_t i = 0; i < mounts.size(); ++i) by_id[mounts[i].id] = i;
  std::vector<bool> covered(mounts.size(), false);
  for (const MountRecord& top : mounts) {
    auto below = by_id.find(top.parent);
    if (below != by_id.end() && top.id != top.parent &&
        mounts[below->second].mount_point == top.mount_point) {
      covered[below->second] = true;
    }
  }
  std::vector<bool> visible(mounts.size(), true);
  for (size_t i = 0; i < mounts.size(); ++i) {
    // Walk towards the root; the chain is short, the bound only guards against a broken table.
    size_t at = i;
    for (int depth = 0; depth < 64; ++depth) {
      if (covered[at]) {
        visible[i] = false;
        break;
      }
      auto up = by_id.find(mounts[at].parent);
      if (up == by_id.end() || up->second == at) break;
      // The mount over `up` is not inside what it covers.
      if (mounts[up->second].mount_point == mounts[at].mount_point) break;
      at = up->second;
    }
  }
  return visible;
}

std::vector<MountRecord> SelectVolumes(const std::vector<MountRecord>& mounts,
                                       const std::optional<std::vector<std::string>>& allowed) {
  // One entry per filesystem: the whole filesystem ("/" root) wins over bind mounts of parts
  // of it, then the shorter mount point, then the earlier in the table.
  auto rank = [](const MountRecord& m) {
    return std::make_tuple(m.root == "/" ? 0 : 1, m.mount_point.size());
  };
  std::map<std::pair<unsigned, unsigned>, MountRecord> best;
  std::vector<bool> visible = Visibility(mounts);
  for (size_t i = 0; i < mounts.size(); ++i) {
    const MountRecord& mount = mounts[i];
    if (!visible[i] || KindOf(mount) == MountKind::kNone) continue;
    if (allowed &&
        std::find(allowed->begin(), allowed->end(), mount.mount_point) == allowed->end()) {
      continue;
    }
    auto [it, inserted] = best.try_emplace({mount.major, mount.minor}, mount);
    if (!inserted && rank(mount) < rank(it->second)) it->second = mount;
  }
  std::vector<MountRecord> volumes;
  for (auto& [key, mount] : best) volumes.push_back(std::move(mount));
  return volumes;
}

std::optional<MountRecord> MountHolding(const std::vector<MountRecord>& mounts,
                                        std::string_view path) {
  std::optional<MountRecord> holder;
  for (const MountRecord& mount : mounts) {
    const std::string& point = mount.mount_point;
    bool inside =
        point == "/" || path == point ||
        (StartsWith(path, point) && path.size() > point.size() && path[point.size()] == '/');
    // A later mount at the same place hides the earlier one.
    if (inside && (!holder || point.size() >= holder->mount_point.size())) holder = mount;
  }
  return holder;
}

std::vector<Lettered> AssignLetters(std::vector<MountRecord> volumes, unsigned system_major,
                                    unsigned system_minor) {
  std::sort(volumes.begin(), volumes.end(), [](const MountRecord& a, const MountRecord& b) {
    return a.mount_point < b.mount_point;
  });
  std::vector<Lettered> lettered;
  char next = 'D';
  for (MountRecord& mount : volumes) {
    std::string letter;
    if (mount.major == system_major && mount.minor == system_minor) {
      letter = "C";
    } else if (next <= 'Z') {
      letter = std::string(1, next++);
    }
    lettered.push_back({letter, std::move(mount)});
  }
  std::stable_sort(lettered.begin(), lettered.end(), [](const Lettered& a, const Lettered& b) {
    if (a.letter.empty() != b.letter.empty()) return b.letter.empty();
    return a.letter < b.letter;
  });
  return lettered;
}

std::optional<std::vector<std::string>> ParseMountList(const char* value) {
  if (!value) return std::nullopt;
  std::vector<std::string> list;
  std::string text(value);
  for (size_t at = 0; at <= text.size();) {
    size_t colon = text.find(':', at);
    if (colon == std::string::npos) colon = text.size();
    std::string item = text.substr(at, colon - at);
    while (item.size() > 1 && item.back() == '/') item.pop_back();
    if (!item.empty()) list.push_back(item);
    at = colon + 1;
  }
  return list;
}

DeviceFacts DecodeDeviceStart(std::string_view b) {
  DeviceFacts facts;
  if (b.size() < 2048) return facts;
  if (b.substr(3, 8) == "NTFS    ") {
    facts.file_system = "NTFS";
    facts.serial = static_cast<int32_t>(Le32(b, 0x48));
    DecodeNtfsGeometry(b, facts);
  } else if (b.substr(3, 8) == "EXFAT   ") {
    facts.file_system = "exFAT";
    facts.serial = static_cast<int32_t>(Le32(b, 0x64));
  } else if (Le16(b, 1024 + 56) == 0xEF53) {
    DecodeExt(b, facts);
  } else if (LooksLikeFat(b)) {
    DecodeFat(b, facts);
  }
  return facts;
}

std::string DecodeNtfsVolumeRecord(std::string_view record) {
  constexpr uint32_t kVolumeName = 0x60;
  constexpr uint32_t kEnd = 0xFFFFFFFF;
  constexpr size_t kStride = 512;
  if (record.size() < kStride || record.substr(0, 4) != "FILE") return {};
  // Each 512-byte stride ends in the update sequence number; the real bytes sit in the array.
  std::string fixed(record);
  size_t usa = Le16(record, 4);
  size_t count = Le16(record, 6);
  if (count == 0 || usa + 2 * count > fixed.size() || (count - 1) * kStride > fixed.size()) {
    return {};
  }
  for (size_t i = 1; i < count; ++i) {
    size_t end = i * kStride - 2;
    if (Le16(fixed, end) != Le16(record, usa)) return {};
    fixed[end] = record[usa + 2 * i];
    fixed[end + 1] = record[usa + 2 * i + 1];
  }
  for (size_t at = Le16(fixed, 0x14); at + 24 <= fixed.size();) {
    uint32_t type = Le32(fixed, at);
    uint32_t length = Le32(fixed, at + 4);
    if (type == kEnd || length < 24 || at + length > fixed.size()) break;
    if (type == kVolumeName && Byte(fixed, at + 8) == 0) {
      size_t size = Le32(fixed, at + 16);
      size_t offset = Le16(fixed, at + 20);
      if (offset + size > length) return {};
      return Utf16LeToUtf8(std::string_view(fixed).substr(at + offset, size));
    }
    at += length;
  }
  return {};
}

std::string FileSystemName(std::string_view fs_type, const DeviceFacts& facts) {
  const std::string& seen = facts.file_system;
  if (fs_type == "ntfs" || fs_type == "ntfs3") return "NTFS";
  if (fs_type == "exfat") return "exFAT";
  if (fs_type == "vfat") return seen == "FAT" ? "FAT" : "FAT32";
  if (fs_type == "msdos") return seen == "FAT32" ? "FAT32" : "FAT";
  if (StartsWith(fs_type, "fuseblk")) {
    if (seen == "NTFS" || seen == "exFAT" || StartsWith(seen, "FAT")) return seen;
    // Without the device's bytes, ntfs-3g's subtype is the only hint.
    std::string_view subtype = fs_type.substr(std::min(fs_type.size(), size_t{8}));
    if (subtype.find("ntfs") != std::string_view::npos) return "NTFS";
    if (subtype.find("exfat") != std::string_view::npos) return "exFAT";
  }
  return std::string(fs_type);
}

bool FactsDescribe(std::string_view name, const DeviceFacts& facts) {
  if (facts.file_system == "ext") return StartsWith(name, "ext");
  return !facts.file_system.empty() && facts.file_system == name;
}

std::optional<int32_t> SerialFromUuid(std::string_view uuid) {
  if (uuid.empty() ||
      !std::all_of(uuid.begin(), uuid.end(), [](char c) { return c == '-' || HexValue(c) >= 0; })) {
    return std::nullopt;
  }
  std::string digits;
  for (char c : uuid) {
    if (c != '-') digits += c;
  }
  // NTFS shows its 64-bit serial as 16 digits, high half first; the serial is the low half.
  bool ntfs = digits.size() == 16 && uuid.find('-') == std::string_view::npos;
  if (digits.size() < 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : std::string_view(digits).substr(ntfs ? 8 : 0, 8)) {
    value = value << 4 | static_cast<uint32_t>(HexValue(c));
  }
  return static_cast<int32_t>(value);
}

int32_t FoldFsid(uint64_t fsid) {
  return static_cast<int32_t>(static_cast<uint32_t>(fsid) ^ static_cast<uint32_t>(fsid >> 32));
}

std::string DecodeUdevName(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        HexValue(name[i + 2]) >= 0 && HexValue(name[i + 3]) >= 0) {
      out += static_cast<char>(HexValue(name[i + 2]) * 16 + HexValue(name[i + 3]));
      i += 3;
    } else {
      out += name[i];
    }
  }
  return out;
}

}  // namespace nd::platform::internal
