#include "shell/volume_listing.h"

#include <array>
#include <cstdio>

#include "engine/usable_volumes.h"
#include "platform/paths.h"
#include "ui/utf8.h"
#include "wizard/disk_list.h"

namespace nd {
namespace {

constexpr size_t kColumns = 8;
using Row = std::array<std::string, kColumns>;

void AppendOctal(std::string& out, unsigned char byte) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\%03o", byte);
  out += escape;
}

// Characters, not bytes: the columns line up for labels in any script.
size_t DisplayLength(const std::string& text) {
  size_t length = 0;
  for (size_t at = 0; at < text.size(); ++length) {
    size_t step = ui::Utf8CharLength(text, at);
    at += step == 0 ? 1 : step;
  }
  return length;
}

std::string SizeField(const VolumeInfo& volume, double bytes) {
  return volume.IsReady ? wizard::VolumeSizeText(bytes) : "-";
}

}  // namespace

std::string DriveTypeName(int drive_type) {
  switch (drive_type) {
    case kDriveRemovable:
      return "removable";
    case kDriveFixed:
      return "fixed";
    case kDriveNetwork:
      return "network";
    case kDriveCdRom:
      return "CD-ROM";
    case kDriveRamDisk:
      return "RAM disk";
    default:
      return "unknown";
  }
}

std::string NotCleanableReason(const VolumeInfo& volume) {
  if (engine::IsUsableVolume(volume)) return {};
  if (volume.DriveType == kDriveCdRom) return "CD-ROM";
  if (volume.DriveType == kDriveRamDisk) return "RAM disk";
  if (volume.DriveLetter.size() != 1) return "no letter left (more than 24 volumes)";
  if (!volume.IsReady) return "not ready: the mount does not answer";
  return "not a type the program cleans";
}

std::string EscapedField(std::string_view text, bool keep_blanks) {
  if (text.empty()) return "-";
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    size_t length = ui::Utf8CharLength(text, at);
    // A backslash would start an escape, except where it separates the parts of every path.
    const bool escape_char = byte == '\\' && !platform::IsPathSeparator('\\');
    bool plain = length > 1 || (length == 1 && byte > 0x20 && byte != 0x7F && !escape_char) ||
                 (byte == ' ' && keep_blanks);
    if (plain) {
      out.append(text, at, length);
      at += length;
    } else {
      AppendOctal(out, byte);
      ++at;
    }
  }
  return out;
}

std::string VolumeListText(const std::vector<VolumeInfo>& volumes) {
  std::vector<Row> rows = {
      {"LETTER", "MOUNT POINT", "LABEL", "FILE SYSTEM", "TYPE", "SIZE", "FREE", "CLEANABLE"}};
  for (const VolumeInfo& volume : volumes) {
    std::string reason = NotCleanableReason(volume);
    rows.push_back({EscapedField(volume.DriveLetter, false), EscapedField(volume.RootPath, false),
                    EscapedField(volume.VolumeName, true), EscapedField(volume.FileSystem, false),
                    DriveTypeName(volume.DriveType), SizeField(volume, volume.TotalSize),
                    SizeField(volume, static_cast<double>(volume.AvailableSpace)),
                    reason.empty() ? "yes" : "no: " + reason});
  }
  std::array<size_t, kColumns> widths{};
  for (const Row& row : rows) {
    for (size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], DisplayLength(row[c]));
  }
  std::string text;
  for (const Row& row : rows) {
    for (size_t c = 0; c < kColumns; ++c) {
      text += row[c];
      if (c + 1 < kColumns) text.append(widths[c] - DisplayLength(row[c]) + 2, ' ');
    }
    text += '\n';
  }
  return text;
}

}  // namespace nd
