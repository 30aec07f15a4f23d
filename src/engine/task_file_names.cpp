#include "engine/task_file_names.h"

std::wstring TaskFullPath(const std::wstring& directory, const std::wstring& fileName) {
  return directory + L"\\" + fileName;
}

std::wstring TaskDataFilePath(const std::wstring& fullPath) { return fullPath + kDataFileExtension; }

std::wstring TaskMetaFilePath(const std::wstring& dataFilePath) {
  return dataFilePath + kMetaFileExtension;
}

std::wstring TaskMetaBackupPath(const std::wstring& metaFilePath) {
  return metaFilePath + kMetaBackupExtension;
}
