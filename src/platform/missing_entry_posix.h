#pragma once
// POSIX backends only: the Win32 number for a path that names no entry.
#include <cstdint>
#include <string>

namespace platform::posix {

// Windows tells a missing file in an existing directory (kErrorFileNotFound) from a missing
// directory on the way (kErrorPathNotFound); ENOENT does not. Looks at the parent to tell them
// apart.
uint32_t MissingEntryError(const std::string& nativePath);

}  // namespace platform::posix
