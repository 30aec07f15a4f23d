#include <windows.h>

#include "platform/error.h"
#include "platform/file.h"

namespace platform {

namespace {

HANDLE HandleOf(NativeFile file) { return reinterpret_cast<HANDLE>(file); }

DWORD DesiredAccess(FileAccess access) {
  switch (access) {
    case FileAccess::Read:
      return GENERIC_READ;
    case FileAccess::Write:
      return GENERIC_WRITE;
    case FileAccess::ReadWrite:
      return GENERIC_READ | GENERIC_WRITE;
    case FileAccess::None:
      break;
  }
  return 0;
}

DWORD ShareMode(uint32_t share) {
  DWORD mode = 0;
  if (share & kShareRead) mode |= FILE_SHARE_READ;
  if (share & kShareWrite) mode |= FILE_SHARE_WRITE;
  return mode;
}

DWORD CreationDisposition(FileDisposition disposition) {
  switch (disposition) {
    case FileDisposition::CreateAlways:
      return CREATE_ALWAYS;
    case FileDisposition::OpenAlways:
      return OPEN_ALWAYS;
    case FileDisposition::OpenExisting:
      break;
  }
  return OPEN_EXISTING;
}

}  // namespace

NativeFile OpenFile(const std::wstring& path, const FileOpenParams& params) {
  // Wine running as the superuser opens a read-only file for writing; Windows refuses it.
  const bool changesData = params.access == FileAccess::Write ||
                           params.access == FileAccess::ReadWrite ||
                           params.disposition == FileDisposition::CreateAlways;
  if (changesData) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
            FILE_ATTRIBUTE_READONLY) {
      ::SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
  }
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof(security);
  security.bInheritHandle = params.inheritable ? TRUE : FALSE;
  HANDLE handle =
      ::CreateFileW(path.c_str(), DesiredAccess(params.access), ShareMode(params.share), &security,
                    CreationDisposition(params.disposition), FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return reinterpret_cast<NativeFile>(handle);
}

bool ReadFile(NativeFile file, void* buffer, uint32_t count, uint32_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (file == nullptr) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD done = 0;
  const BOOL ok = ::ReadFile(HandleOf(file), buffer, count, &done, nullptr);
  if (bytesRead != nullptr) *bytesRead = done;
  return ok != FALSE;
}

bool WriteFile(NativeFile file, const void* buffer, uint32_t count, uint32_t* bytesWritten) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  if (file == nullptr) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD done = 0;
  const BOOL ok = ::WriteFile(HandleOf(file), buffer, count, &done, nullptr);
  if (bytesWritten != nullptr) *bytesWritten = done;
  return ok != FALSE;
}

bool SeekFile(NativeFile file, int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  if (file == nullptr) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD method = FILE_BEGIN;
  if (origin == SeekOrigin::Current) method = FILE_CURRENT;
  if (origin == SeekOrigin::End) method = FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(HandleOf(file), distance, &position, method)) {
    // The same number on every target for a position before the start.
    if (::GetLastError() == ERROR_NEGATIVE_SEEK) ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(position.QuadPart);
  return true;
}

bool SetEndOfFile(NativeFile file) {
  if (file == nullptr) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return ::SetEndOfFile(HandleOf(file)) != FALSE;
}

bool FlushFile(NativeFile file) {
  if (file == nullptr) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return ::FlushFileBuffers(HandleOf(file)) != FALSE;
}

bool CloseFile(NativeFile file) {
  if (file == nullptr) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return ::CloseHandle(HandleOf(file)) != FALSE;
}

}  // namespace platform
