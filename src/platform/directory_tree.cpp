// MakeDirectoryTree for both targets: built on MakeDirectory and GetFileInfo, so it gives the same
// results everywhere (Wine's SHCreateDirectoryExW reports a file in the way as "already exists").
#include <algorithm>

#include "platform/error.h"
#include "platform/file_system.h"

namespace platform {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// What stands at `path` after creating it met an existing entry.
uint32_t ExistingEntryResult(const std::wstring& path, uint32_t fallback) {
  FileInfo info;
  if (!GetFileInfo(path, &info)) return fallback;
  return info.isDirectory ? kErrorAlreadyExists : kErrorFileExists;
}

// A root ("\", "C:\") keeps its one separator.
std::wstring WithoutTrailingSeparators(const std::wstring& path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  if (end == 0 || (end == 2 && path[1] == L':'))
    return path.substr(0, std::min(path.size(), end + 1));
  return path.substr(0, end);
}

// The parent of `path` (which has no trailing separator); empty when there is none that could be
// created: a bare name, the root, or a drive root.
std::wstring CreatableParent(const std::wstring& path) {
  size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  if (cut <= 1) return {};
  std::wstring parent = path.substr(0, cut - 1);
  if (parent.size() == 2 && parent[1] == L':') return {};
  return parent;
}

}  // namespace

uint32_t MakeDirectoryTree(const std::wstring& requested) {
  // A trailing separator would hide a file of that name from the checks below.
  const std::wstring path = WithoutTrailingSeparators(requested);
  FileInfo info;
  if (GetFileInfo(path, &info)) return info.isDirectory ? kErrorAlreadyExists : kErrorFileExists;
  if (MakeDirectory(path)) return kErrorSuccess;
  uint32_t error = LastError();
  if (error == kErrorAlreadyExists) return ExistingEntryResult(path, error);  // made meanwhile
  if (error != kErrorPathNotFound) return error;

  const std::wstring parent = CreatableParent(path);
  if (parent.empty()) return error;
  const uint32_t parentResult = MakeDirectoryTree(parent);
  // A file among the parents leaves no way to the directory: a missing path, not a success.
  if (parentResult == kErrorFileExists) return kErrorPathNotFound;
  if (parentResult != kErrorSuccess && parentResult != kErrorAlreadyExists) return parentResult;

  if (MakeDirectory(path)) return kErrorSuccess;
  error = LastError();
  if (error == kErrorAlreadyExists) return ExistingEntryResult(path, error);
  return error;
}

}  // namespace platform
