#pragma once
// POSIX backends only: errno to Win32 error numbers.
#include <cstdint>

namespace platform::posix {

uint32_t Win32ErrorFromErrno(int err);
// Sets the last error from errno and returns false, for `return FailWithErrno();`.
bool FailWithErrno();
bool FailWith(uint32_t win32Error);

}  // namespace platform::posix
