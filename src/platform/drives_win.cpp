#include "platform/drives.h"

#include <windows.h>

namespace platform {

uint32_t LogicalDriveMask() { return ::GetLogicalDrives(); }

bool DriveExists(wchar_t letter) {
  int index = -1;
  if (letter >= L'A' && letter <= L'Z') index = letter - L'A';
  if (letter >= L'a' && letter <= L'z') index = letter - L'a';
  return index >= 0 && (::GetLogicalDrives() & (1u << index)) != 0;
}

DriveKind GetDriveKind(const std::wstring& root) {
  return static_cast<DriveKind>(::GetDriveTypeW(root.c_str()));
}

}  // namespace platform
