#pragma once
// Thrown by CFileEx for every operating-system failure: the code is the Win32 error number (or -12
// for a short write), the location that of the file access code.
#include <cstdint>
#include <string>
#include <utility>

#include "commonlib/core/exception.h"

class CFileExException : public IException {
 public:
  CFileExException() = default;
  CFileExException(int32_t code, std::wstring message) : IException(code, std::move(message)) {}
};

// Throws a CFileExException located at the statement that calls this.
[[noreturn]] void ThrowFileExException(int32_t code, const std::wstring& message,
                                       const char* file = __builtin_FILE(),
                                       int32_t line = __builtin_LINE());
