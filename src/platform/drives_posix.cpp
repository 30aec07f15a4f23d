#include "platform/drives.h"

#include "platform/error.h"
#include "platform/native_path_posix.h"

namespace platform {

uint32_t LogicalDriveMask() {
  uint32_t mask = 0;
  for (int i = 0; i < 26; ++i) {
    if (DriveExists(static_cast<wchar_t>(L'A' + i))) mask |= 1u << i;
  }
  return mask;
}

bool DriveExists(wchar_t letter) {
  const wchar_t drive[] = {letter, L':', 0};
  std::string native;
  const uint32_t saved = LastError();  // a query, not a failure
  const bool mapped = posix::ToNativePath(drive, &native);
  SetLastError(saved);
  return mapped;
}

DriveKind GetDriveKind(const std::wstring& root) {
  if (root.size() < 2 || root[1] != L':') return DriveKind::NoRootDirectory;
  return DriveExists(root[0]) ? DriveKind::Fixed : DriveKind::NoRootDirectory;
}

}  // namespace platform
