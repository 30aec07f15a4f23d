// The task's data file: its names, its creation at full length and the final rename.
#include "commonlib/core/file_ex.h"
#include "commonlib/core/file_ex_exception.h"
#include "commonlib/core/file_ex_flags.h"
#include "engine/download_task.h"
#include "engine/task_file_names.h"
#include "logger/log.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "util/file_utils.h"

namespace {

// Every transfer of the task writes the data file through its own handle at the same time.
constexpr uint32_t kDataFileFlags =
    FileModeReadWrite | FileShareDenyNone | FileNoInherit | FileCreate | FileNoTruncate | FileBinary;

constexpr uint32_t kFinalRenameRetries = 10;

}  // namespace

void CDownloadTask::SetTarget(const std::wstring& directory, const std::wstring& fileName,
                              const std::wstring& md5) {
  directory_ = directory;
  fileName_ = fileName;
  md5_ = md5;
}

std::wstring CDownloadTask::GetFullPath() const { return TaskFullPath(directory_, fileName_); }

std::wstring CDownloadTask::GetDataFilePath() const { return TaskDataFilePath(GetFullPath()); }

std::wstring CDownloadTask::GetMetaFilePath() const { return TaskMetaFilePath(GetDataFilePath()); }

bool CDownloadTask::CreateEmptyFile() {
  const std::wstring dataPath = GetDataFilePath();
  CFileEx file;
  CFileExException openError;
  if (!file.Open(dataPath, kDataFileFlags, &openError)) {
    LOG_ERRO(L"[CreateEmptyFile]打开错误 %d:%d %s", 1, openError.code, dataPath);
    return false;
  }
  try {
    file.SetLength(expectedSize_);
    file.Close();
  } catch (const CFileExException& e) {
    LOG_ERRO(L"CDownloadTask::SetLength %s %lld %d:%d", dataPath, expectedSize_, 1, e.code);
    file.Abort();
    return false;
  }
  return true;
}

uint32_t CDownloadTask::MoveDataFileToFinalPath() {
  return MoveDataFileToFinalPath([](uint32_t ms) { platform::SleepMs(ms); });
}

uint32_t CDownloadTask::MoveDataFileToFinalPath(const std::function<void(uint32_t milliseconds)>& sleep) {
  const std::wstring dataPath = GetDataFilePath();
  const std::wstring fullPath = GetFullPath();
  uint32_t code = platform::kErrorSuccess;
  // The waits must not hide the reason of the last failed attempt.
  const auto sleepKeepingError = [&sleep](uint32_t ms) {
    const uint32_t error = platform::LastError();
    sleep(ms);
    platform::SetLastError(error);
  };
  if (!FileUtils::MoveFileReplace(dataPath, fullPath, kFinalRenameRetries, sleepKeepingError)) {
    code = platform::PathExists(dataPath) ? platform::LastError() : platform::kErrorFileNotFound;
    if (code == platform::kErrorSuccess) code = platform::kErrorGenFailure;
  }
  // A data file already gone is fine only when the final file is there (found complete at start);
  // with neither file the download is lost and must not count as done.
  if (code == platform::kErrorFileNotFound && platform::PathExists(fullPath)) {
    code = platform::kErrorSuccess;
  }
  if (code == platform::kErrorSuccess) {
    DeleteMeta();
    return code;
  }
  LOG_INFO(L"文件下载完成，但是文件重命名失败 et:%d", static_cast<int32_t>(code));
  return code;
}
