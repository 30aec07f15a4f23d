#include "commonlib/core/file_ex.h"

#include "platform/error.h"

namespace {

int32_t LastErrorCode() { return static_cast<int32_t>(platform::LastError()); }

}  // namespace

platform::NativeFile CFileEx::RequireOpen() const {
  if (fileHandle_ == nullptr) ThrowFileExException(static_cast<int32_t>(platform::kErrorInvalidHandle), L"");
  return fileHandle_;
}

uint64_t CFileEx::GetPosition() { return Seek(0, 1); }

bool CFileEx::Open(const std::wstring& path, uint32_t flags, CFileExException* error) {
  // Opening over an open file would leak its handle.
  if (fileHandle_ != nullptr) platform::CloseFile(fileHandle_);
  closeOnDestroy_ = false;
  fileHandle_ = nullptr;
  fileName_ = path;

  platform::NativeFile file = platform::OpenFile(path, FileExOpenParams(flags & ~FileBinary));
  if (file == nullptr) {
    if (error != nullptr) {
      error->code = LastErrorCode();
      error->message = L"INVALID_HANDLE_VALUE";
    }
    return false;
  }
  fileHandle_ = file;
  closeOnDestroy_ = true;
  return true;
}

uint64_t CFileEx::Seek(int64_t offset, uint32_t origin) {
  platform::NativeFile file = RequireOpen();
  if (origin > 2) ThrowFileExException(static_cast<int32_t>(platform::kErrorInvalidParameter), L"");
  uint64_t position = 0;
  if (!platform::SeekFile(file, offset, static_cast<platform::SeekOrigin>(origin), &position)) {
    ThrowFileExException(LastErrorCode(), L"");
  }
  return position;
}

bool CFileEx::SetLength(uint64_t length) {
  Seek(static_cast<int64_t>(length), 0);
  if (!platform::SetEndOfFile(fileHandle_)) ThrowFileExException(LastErrorCode(), L"");
  return true;
}

uint64_t CFileEx::GetLength() { return Seek(0, 2); }

uint32_t CFileEx::Read(void* buffer, uint32_t count) {
  if (count == 0) return 0;
  platform::NativeFile file = RequireOpen();
  uint32_t got = 0;
  if (!platform::ReadFile(file, buffer, count, &got)) ThrowFileExException(LastErrorCode(), L"");
  return got;
}

void CFileEx::Write(const void* buffer, uint32_t count) {
  if (count == 0) return;
  if (fileHandle_ == nullptr) {
    ThrowFileExException(static_cast<int32_t>(platform::kErrorInvalidHandle), fileName_);
  }
  uint32_t written = 0;
  if (!platform::WriteFile(fileHandle_, buffer, count, &written)) {
    ThrowFileExException(LastErrorCode(), fileName_);
  }
  if (written < count) ThrowFileExException(kShortWriteCode, fileName_);
}

void CFileEx::Abort() {
  if (fileHandle_ != nullptr) platform::CloseFile(fileHandle_);
  fileHandle_ = nullptr;
  closeOnDestroy_ = false;
  fileName_.clear();
}

void CFileEx::Flush() {
  if (fileHandle_ == nullptr) return;
  if (!platform::FlushFile(fileHandle_)) ThrowFileExException(LastErrorCode(), L"");
}

void CFileEx::Close() {
  bool closed = true;
  if (fileHandle_ != nullptr) closed = platform::CloseFile(fileHandle_);
  const int32_t code = closed ? 0 : LastErrorCode();
  fileHandle_ = nullptr;
  closeOnDestroy_ = false;
  fileName_.clear();
  if (!closed) ThrowFileExException(code, L"");
}

CFileEx::~CFileEx() {
  if (fileHandle_ != nullptr && closeOnDestroy_) platform::CloseFile(fileHandle_);
}
