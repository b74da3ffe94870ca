#include "platform/linux/volumes_parse.h"

#include <algorithm>
#include <cstring>
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

uint32_t Le32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

uint16_t Le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               static_cast<unsigned char>(b[at + 1]) << 8);
}

std::string Trimmed(std::string_view text) {
  size_t end = text.find('\0');
  std::string s(text.substr(0, end));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const std::set<std::string>& NetworkTypes() {
  static const std::set<std::string> types = {"nfs",        "nfs4", "cifs", "smb3", "smbfs",
                                              "fuse.sshfs", "9p",   "afs",  "ceph", "glusterfs"};
  return types;
}

}  // namespace

std::vector<MountRecord> ParseMountInfo(std::string_view text) {
  std::vector<MountRecord> records;
  std::istringstream lines{std::string(text)};
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string id, parent, dev, root, mount_point, options;
    if (!(fields >> id >> parent >> dev >> root >> mount_point >> options)) continue;
    std::string word;
    while (fields >> word && word != "-") {
    }
    MountRecord record;
    std::string source;
    if (word != "-" || !(fields >> record.fs_type)) continue;
    fields >> source;
    size_t colon = dev.find(':');
    if (colon == std::string::npos) continue;
    record.major = static_cast<unsigned>(std::strtoul(dev.c_str(), nullptr, 10));
    record.minor = static_cast<unsigned>(std::strtoul(dev.c_str() + colon + 1, nullptr, 10));
    record.root = DecodeOctal(root);
    record.mount_point = DecodeOctal(mount_point);
    record.source = DecodeOctal(source);
    records.push_back(std::move(record));
  }
  return records;
}

MountKind KindOf(const MountRecord& mount) {
  // Read-only images of packages and containers live on loop devices too; nobody calls them
  // volumes.
  static const std::set<std::string> images = {"squashfs", "erofs", "overlay", "cramfs"};
  const std::string& type = mount.fs_type;
  if (images.contains(type)) return MountKind::kNone;
  if (type == "tmpfs" || type == "ramfs") return MountKind::kRam;
  if (type == "iso9660" || type == "udf") return MountKind::kOptical;
  if (NetworkTypes().contains(type)) return MountKind::kNetwork;
  if (mount.source.rfind("/dev/", 0) == 0) return MountKind::kBlock;
  return MountKind::kNone;
}

std::vector<MountRecord> SelectVolumes(const std::vector<MountRecord>& mounts,
                                       const std::optional<std::vector<std::string>>& allowed) {
  // One entry per filesystem: the whole filesystem ("/" root) wins over bind mounts of parts
  // of it, and the shorter mount point over the longer.
  std::map<std::pair<unsigned, unsigned>, MountRecord> best;
  for (const MountRecord& mount : mounts) {
    if (KindOf(mount) == MountKind::kNone) continue;
    if (allowed &&
        std::find(allowed->begin(), allowed->end(), mount.mount_point) == allowed->end()) {
      continue;
    }
    auto key = std::make_pair(mount.major, mount.minor);
    auto it = best.find(key);
    auto rank = [](const MountRecord& m) {
      return std::make_pair(m.root == "/" ? 0 : 1, m.mount_point.size());
    };
    if (it == best.end() || rank(mount) < rank(it->second)) best[key] = mount;
  }
  std::vector<MountRecord> volumes;
  for (auto& [key, mount] : best) volumes.push_back(std::move(mount));
  return volumes;
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
  } else if (b.substr(3, 8) == "EXFAT   ") {
    facts.file_system = "exFAT";
    facts.serial = static_cast<int32_t>(Le32(b, 0x64));
  } else if (Le16(b, 1024 + 56) == 0xEF53) {
    facts.file_system = "ext";
    facts.label = Trimmed(b.substr(1024 + 120, 16));
    const auto* uuid = reinterpret_cast<const unsigned char*>(b.data() + 1024 + 104);
    facts.serial = static_cast<int32_t>(static_cast<uint32_t>(uuid[0]) << 24 |
                                        static_cast<uint32_t>(uuid[1]) << 16 |
                                        static_cast<uint32_t>(uuid[2]) << 8 | uuid[3]);
  } else if (static_cast<unsigned char>(b[510]) == 0x55 &&
             static_cast<unsigned char>(b[511]) == 0xAA && Le16(b, 11) != 0) {
    bool fat32 = Le16(b, 0x16) == 0;
    size_t serial_at = fat32 ? 0x43 : 0x27;
    facts.file_system = fat32 ? "FAT32" : "FAT";
    facts.serial = static_cast<int32_t>(Le32(b, serial_at));
    std::string label = Trimmed(b.substr(serial_at + 4, 11));
    facts.label = label == "NO NAME" ? std::string() : label;
  }
  return facts;
}

std::optional<int32_t> SerialFromUuid(std::string_view uuid) {
  uint32_t value = 0;
  int digits = 0;
  for (char c : uuid) {
    if (c == '-') continue;
    int v = HexValue(c);
    if (v < 0) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(v);
    if (++digits == 8) return static_cast<int32_t>(value);
  }
  return std::nullopt;
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
