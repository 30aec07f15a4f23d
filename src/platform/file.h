#pragma once
// Files with Win32 open semantics. Paths are Windows paths (see path.h). Every call reports
// failure through its result and leaves a Win32 error number in LastError() (error.h).
#include <cstdint>
#include <string>

namespace platform {

enum class FileAccess { None, Read, Write, ReadWrite };

// Sharing granted to other opens of the same file while this one is open.
// POSIX has no mandatory sharing between processes; the backend enforces it among the opens of
// this process, which is where the system relies on it.
enum FileShare : uint32_t { kShareNone = 0, kShareRead = 1, kShareWrite = 2 };

enum class FileDisposition {
  OpenExisting,  // fail with kErrorFileNotFound when missing
  CreateAlways,  // create, or truncate an existing file
  OpenAlways,    // create when missing, keep an existing file's contents
};

struct FileOpenParams {
  FileAccess access = FileAccess::Read;
  uint32_t share = kShareNone;
  FileDisposition disposition = FileDisposition::OpenExisting;
  bool inheritable = false;  // whether child processes inherit the handle
};

using NativeFile = struct NativeFileObject*;  // nullptr: not open

// Opens a file (never a directory: that fails with kErrorAccessDenied). A file whose read-only
// attribute is set cannot be opened for writing nor with CreateAlways (kErrorAccessDenied), on
// POSIX too. An open whose access another open's sharing does not grant, or whose sharing does
// not grant another open's access, fails with kErrorSharingViolation; opens with
// FileAccess::None take part in neither. After a creating disposition met an existing file,
// LastError() is kErrorAlreadyExists although the open succeeded.
NativeFile OpenFile(const std::wstring& path, const FileOpenParams& params);

// Reading at the end of the file succeeds with 0 bytes. Reading or writing through a handle
// opened without that access fails with kErrorAccessDenied.
bool ReadFile(NativeFile file, void* buffer, uint32_t count, uint32_t* bytesRead);
bool WriteFile(NativeFile file, const void* buffer, uint32_t count, uint32_t* bytesWritten);

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };
// Moves the position; a resulting negative position fails with kErrorInvalidParameter.
bool SeekFile(NativeFile file, int64_t offset, SeekOrigin origin, uint64_t* newPosition);

// Cuts or extends the file at the current position. Both need write access.
bool SetEndOfFile(NativeFile file);
bool FlushFile(NativeFile file);
bool CloseFile(NativeFile file);

}  // namespace platform
