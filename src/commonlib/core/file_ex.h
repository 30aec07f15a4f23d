#pragma once
// A file handle that reports every operating-system failure as a CFileExException carrying the
// Win32 error number. Open alone reports through its result (and the caller's exception record).
// Belongs to one thread at a time.
#include <cstdint>
#include <string>

#include "commonlib/core/file_ex_exception.h"
#include "commonlib/core/file_ex_flags.h"
#include "platform/file.h"

class CFileEx {
 public:
  CFileEx() = default;
  CFileEx(const CFileEx&) = delete;
  CFileEx& operator=(const CFileEx&) = delete;

  virtual uint64_t GetPosition();
  // `flags` from FileExFlags. On failure `error` (when given) receives the error number and
  // "INVALID_HANDLE_VALUE"; nothing is thrown. A file still open in this object is closed first.
  virtual bool Open(const std::wstring& path, uint32_t flags, CFileExException* error = nullptr);
  // `origin` 0 from the beginning, 1 from the current position, 2 from the end.
  virtual uint64_t Seek(int64_t offset, uint32_t origin);
  // Cuts or extends the file; the position is left at `length`.
  virtual bool SetLength(uint64_t length);
  // The position is left at the end of the file.
  virtual uint64_t GetLength();
  // Fewer bytes than asked at the end of the file, 0 there.
  virtual uint32_t Read(void* buffer, uint32_t count);
  // All `count` bytes or an exception (-12 for a short write).
  virtual void Write(const void* buffer, uint32_t count);
  // Closes without reporting errors.
  virtual void Abort();
  // Does nothing when no file is open.
  virtual void Flush();
  // Does nothing when no file is open; the object is closed even when closing fails (and throws).
  virtual void Close();
  // Closes an open file; a failure is ignored.
  virtual ~CFileEx();

  bool IsOpen() const { return fileHandle_ != nullptr; }
  const std::wstring& GetFileName() const { return fileName_; }

  static constexpr int32_t kShortWriteCode = -12;

 private:
  // The handle for an operation that needs an open file; throws the Win32 invalid-handle error
  // otherwise, as the system call would.
  platform::NativeFile RequireOpen() const;

  platform::NativeFile fileHandle_ = nullptr;
  bool closeOnDestroy_ = false;
  std::wstring fileName_;
};
