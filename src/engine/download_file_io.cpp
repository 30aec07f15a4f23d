#include "engine/download_file_io.h"

#include <limits>

#include "commonlib/core/file_ex_exception.h"
#include "commonlib/core/file_ex_flags.h"
#include "logger/log.h"
#include "platform/error.h"

namespace {

constexpr uint32_t kDataFileFlags =
    FileModeReadWrite | FileShareDenyNone | FileNoInherit | FileCreate | FileNoTruncate | FileBinary;

}  // namespace

CQBDownloadFileIO::~CQBDownloadFileIO() {
  if (file.IsOpen()) file.Abort();
}

bool CQBDownloadFileIO::open(const std::wstring& dataPath, uint64_t offset) {
  Close();
  path = dataPath;
  CFileExException openError;
  if (!file.Open(path, kDataFileFlags, &openError)) {
    LOG_ERRO(L"[CDownloadFileIO]打开错误 %d:%d %s", error_type::kSystem, openError.code, path);
    errorCode = openError.code;
    errorType = error_type::kSystem;
    return false;
  }
  if (offset != 0) {
    try {
      file.Seek(static_cast<int64_t>(offset), 0);
    } catch (const CFileExException& e) {
      LOG_ERRO(L"CDownloadFileIO::open %s %d:%d", path, error_type::kSystem, e.code);
      errorCode = e.code;
      errorType = error_type::kSystem;
      file.Abort();
      return false;
    }
  }
  return true;
}

int32_t CQBDownloadFileIO::Write(const void* buffer, uint32_t count) {
  if (!file.IsOpen()) {
    errorCode = user_error::kWriterNotOpen;
    errorType = error_type::kUser;
    return -1;
  }
  // The result could not say how much was taken.
  if (count > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    errorCode = static_cast<int32_t>(platform::kErrorInvalidParameter);
    errorType = error_type::kSystem;
    return -1;
  }
  if (count > remaining) {
    errorCode = user_error::kLengthMismatch;
    errorType = error_type::kUser;
    return -1;
  }
  try {
    file.Write(buffer, count);
    remaining -= count;
  } catch (const CFileExException& e) {
    LOG_ERRO(L"[CDownloadFileIO]打开错误 %d:%d", error_type::kSystem, e.code);
    errorCode = e.code;
    errorType = error_type::kSystem;
    return -1;
  }
  return static_cast<int32_t>(count);
}

void CQBDownloadFileIO::Close() {
  // A failing close of a handle that only wrote through the system cache loses nothing to report.
  if (file.IsOpen()) file.Abort();
  errorCode = 0;
  errorType = 0;
}
