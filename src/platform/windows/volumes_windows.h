// Pieces of the Windows volume layer that the work folder and the tests share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace nd::platform::win {

// The platform's drive-type code (0-5) of a GetDriveType answer.
int DriveTypeCode(UINT windows_type);

// The roots GetLogicalDriveStrings lists, "C:\" style, in letter order.
std::vector<std::string> LogicalDriveRoots();

// Switches NTFS compression off for the open folder `folder` (opened with read and write data
// access), so that new files in it are not compressed. True when it is off afterwards or the
// file system never compresses.
bool ClearCompression(HANDLE folder);

}  // namespace nd::platform::win
