// The child program of the meta file kill test: saves ever newer task records through the task's
// own save path until it is killed.
//   <program> <directory> <first sequence number>
// It creates the ready file in <directory> before its first save and, after each save that
// completed, writes the record's sequence number into the saved file.
#include <cstdint>
#include <cwchar>
#include <string>

#include "engine/download_task.h"
#include "engine/helper/meta_kill_record.h"
#include "engine/task_file_names.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/program_entry.h"

namespace {

platform::NativeFile CreateSideFile(const std::wstring& path) {
  platform::FileOpenParams params;
  params.access = platform::FileAccess::Write;
  params.share = platform::kShareRead | platform::kShareWrite;
  params.disposition = platform::FileDisposition::CreateAlways;
  return platform::OpenFile(path, params);
}

// One write of a fixed length at the start of the file, so a kill finds either the old number
// or the new one.
bool ReportSaved(platform::NativeFile file, uint64_t n) {
  std::string digits = std::to_string(n);
  digits.insert(0, meta_kill::kSavedDigits - digits.size(), '0');
  uint32_t written = 0;
  return platform::SeekFile(file, 0, platform::SeekOrigin::Begin, nullptr) &&
         platform::WriteFile(file, digits.data(), static_cast<uint32_t>(digits.size()), &written) &&
         written == digits.size();
}

}  // namespace

int ProgramMain(int argc, wchar_t** argv) {
  if (argc != 3) return 100;
  const std::wstring directory = argv[1];
  uint64_t n = std::wcstoull(argv[2], nullptr, 10);

  platform::NativeFile saved = CreateSideFile(directory + L"\\" + meta_kill::SavedFileName());
  if (saved == nullptr) return 101;
  platform::NativeFile ready = CreateSideFile(directory + L"\\" + meta_kill::ReadyFileName());
  if (ready == nullptr) return 102;
  platform::CloseFile(ready);

  for (;; ++n) {
    // A new task per record: each record is built from nothing but its own sequence number.
    CDownloadTask task(meta_kill::kFileSize);
    task.SetTarget(directory, meta_kill::FileName(), meta_kill::Md5());
    meta_kill::FillTask(task, n);
    task.SaveMeta();
    // SaveMeta keeps the outcome to itself: a save that failed leaves its error or its backup.
    if (task.Meta().errorType != 0 || platform::PathExists(TaskMetaBackupPath(task.GetMetaFilePath()))) {
      return 103;
    }
    if (!ReportSaved(saved, n)) return 104;
  }
}
