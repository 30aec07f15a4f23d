#include "commonlib/core/file_ex_exception.h"

void ThrowFileExException(int32_t code, const std::wstring& message, const char* file, int32_t line) {
  CFileExException error(code, message);
  error.SetLocation(file, line);
  throw error;
}
