// `nulldrift-clean --list`: every volume the program sees, one line each, so that a user can
// tell which letter is which disk before cleaning it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/os_volumes.h"

namespace nd {

// "fixed", "removable", "network", "CD-ROM", "RAM disk" or "unknown".
std::string DriveTypeName(int drive_type);

// Why the program will not clean `volume`; empty when it will.
std::string NotCleanableReason(const VolumeInfo& volume);

// A text from outside (a label, a mount point) made safe as one field of a line: backslashes
// (where they are no path separator), control characters and bytes of broken UTF-8 become \NNN
// octal escapes, as in the kernel's mount table, and so do blanks unless `keep_blanks`. "-" stands
// for the empty text.
std::string EscapedField(std::string_view text, bool keep_blanks);

// A heading, then one line per volume in enumeration order, the columns aligned: letter ("-"
// for none), mount point, label, file system, type, size, free space and "yes" or "no: " with
// the reason. Only the label may hold blanks; the last field is "yes" exactly for the
// volumes that can be cleaned.
std::string VolumeListText(const std::vector<VolumeInfo>& volumes);

}  // namespace nd
