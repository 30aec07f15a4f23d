#pragma once
// Drive letters and their kinds. POSIX: the drives of the path table (path.h), all fixed disks.
#include <cstdint>
#include <string>

namespace platform {

// The values GetDriveTypeW gives.
enum class DriveKind : uint32_t {
  Unknown = 0,
  NoRootDirectory = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

// Bit 0 is A:, bit 25 is Z:.
uint32_t LogicalDriveMask();
bool DriveExists(wchar_t letter);
// `root` is a drive root such as "C:\".
DriveKind GetDriveKind(const std::wstring& root);

}  // namespace platform
