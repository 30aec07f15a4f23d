#pragma once
// The names of a task's files, all derived from the final target path by appending extensions:
// the partial data file beside the target, the meta file beside that, and the meta file's backup
// used while it is being replaced.
#include <string>

inline constexpr wchar_t kDataFileExtension[] = L".qbdt";
inline constexpr wchar_t kMetaFileExtension[] = L".qbmt";
inline constexpr wchar_t kMetaBackupExtension[] = L".mbk";

std::wstring TaskFullPath(const std::wstring& directory, const std::wstring& fileName);
std::wstring TaskDataFilePath(const std::wstring& fullPath);
std::wstring TaskMetaFilePath(const std::wstring& dataFilePath);
std::wstring TaskMetaBackupPath(const std::wstring& metaFilePath);
