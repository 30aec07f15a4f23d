#include "engine/task_meta_file.h"

#include <limits>
#include <utility>

#include "commonlib/core/error_pair.h"
#include "commonlib/core/file_ex_exception.h"
#include "commonlib/core/file_ex_flags.h"
#include "commonlib/core/proto_value_binary.h"
#include "engine/task_file_names.h"
#include "logger/log.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace {

constexpr uint32_t kLoadFlags = FileModeRead | FileShareDenyWrite | FileNoInherit | FileBinary;
constexpr uint32_t kBackupFlags =
    FileModeReadWrite | FileShareDenyWrite | FileNoInherit | FileCreate | FileNoTruncate | FileBinary;

}  // namespace

bool CTaskMetaFile::LoadFile(const std::wstring& metaPath) {
  path = metaPath;
  root.clear();
  CFileExException openError;
  if (!file.Open(path, kLoadFlags, &openError)) {
    LOG_ERRO(L"[CTaskMetaFile::LoadFile]打开错误 %d:%d %s", error_type::kSystem, openError.code, path);
    errorCode = openError.code;
    errorType = error_type::kSystem;
    return false;
  }
  std::string bytes;
  try {
    const uint64_t length = file.GetLength();
    if (length == 0) {
      LOG_ERRO(L"下载配置文件没有内容 %s", path);
      file.Abort();
      return false;
    }
    // A meta record is a few kilobytes; anything this large is not one.
    if (length > std::numeric_limits<uint32_t>::max()) {
      file.Abort();
      return false;
    }
    bytes.resize(static_cast<size_t>(length));
    file.Seek(0, 0);
    const uint32_t got = file.Read(bytes.data(), static_cast<uint32_t>(length));
    file.Close();
    if (got < 1) {
      LOG_ERRO(L"下载配置Read失败 %s %d ", path, static_cast<int32_t>(platform::LastError()));
      return false;
    }
    bytes.resize(got);
  } catch (const CFileExException& e) {
    errorCode = e.code;
    errorType = error_type::kSystem;
    file.Abort();
    return false;
  }
  ProtoValue decoded;
  // Anything but a map is not a meta record, however well it decodes.
  if (!ProtoValueFromBinary(bytes, decoded) || decoded.type() != ProtoValueType::Map) return false;
  root = std::move(decoded);
  return true;
}

bool CTaskMetaFile::Save() {
  if (root.size() == 0 || path.empty()) return false;
  const std::wstring backupPath = TaskMetaBackupPath(path);
  CFileExException openError;
  if (!file.Open(backupPath, kBackupFlags, &openError)) {
    LOG_ERRO(L"[CTaskMetaFile::Save]打开错误 %d:%d %s", error_type::kSystem, openError.code, backupPath);
    errorCode = openError.code;
    errorType = error_type::kSystem;
    return false;
  }
  std::string bytes;
  if (!ProtoValueToBinary(root, bytes)) {
    file.Abort();
    return false;
  }
  try {
    file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    // On disk before the move replaces the previous record.
    file.Flush();
    file.Close();
  } catch (const CFileExException& e) {
    errorCode = e.code;
    errorType = error_type::kSystem;
    file.Abort();
    return false;
  }
  if (!platform::MoveFileReplaceExisting(backupPath, path)) {
    // The previous meta file stays; the new record waits in the backup.
    errorCode = static_cast<int32_t>(platform::LastError());
    errorType = error_type::kSystem;
    return false;
  }
  return true;
}

void CTaskMetaFile::Delete() {
  if (file.IsOpen()) file.Abort();
  if (!path.empty() && platform::PathExists(path)) platform::RemoveFile(path);
  LOG_INFO(L"配置零时文件已经删除完毕");
}
