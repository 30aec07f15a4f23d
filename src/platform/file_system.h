#pragma once
// Directory entries: existence, attributes, times, moving, deleting, directories, free space.
// Paths are Windows paths (see path.h); failures leave a Win32 error number in LastError().
// (Names avoid the Win32 ones, which are macros in the Windows headers.)
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct FileInfo {
  bool isDirectory = false;
  bool readOnly = false;
  uint64_t size = 0;           // 0 for directories
  uint64_t lastWriteTime = 0;  // file time (100 ns since 1601 UTC)
};

// False (kErrorFileNotFound or kErrorPathNotFound) when there is no such entry.
bool GetFileInfo(const std::wstring& path, FileInfo* info);
bool PathExists(const std::wstring& path);

// The read-only attribute of a file. POSIX: the owner's write permission bit, honoured by this
// layer even for the superuser (opening for writing, deleting and replacing fail with
// kErrorAccessDenied). Directories are accepted but do not take it (it does not restrict them on
// Windows, and Wine does not keep it).
bool SetReadOnly(const std::wstring& path, bool readOnly);
bool SetLastWriteTime(const std::wstring& path, uint64_t fileTime);

// Renames a file or directory; an existing target file is replaced (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING). Across volumes it fails with kErrorNotSameDevice. A source open for
// reading or writing fails with kErrorSharingViolation; a target that is a directory, open or
// read-only fails with kErrorAccessDenied.
bool MoveFileReplaceExisting(const std::wstring& from, const std::wstring& to);
// Deletes a file (not a directory: kErrorAccessDenied). A file open for reading or writing fails
// with kErrorSharingViolation, a read-only one with kErrorAccessDenied.
bool RemoveFile(const std::wstring& path);

// One directory; kErrorAlreadyExists when it exists, kErrorPathNotFound when the parent is missing.
bool MakeDirectory(const std::wstring& path);
// A directory with all missing parents. Returns a Win32 error number as SHCreateDirectoryExW does:
// 0 when created, kErrorAlreadyExists when the directory exists, kErrorFileExists when a file
// stands at the path itself, kErrorPathNotFound when a file stands in place of a parent (there is
// no way to the directory), another number on other failures.
uint32_t MakeDirectoryTree(const std::wstring& path);
// Removes an empty directory (kErrorDirNotEmpty otherwise).
bool RemoveEmptyDirectory(const std::wstring& path);

struct DirectoryEntry {
  std::wstring name;  // without the directory; "." and ".." are never listed
  FileInfo info;
};
bool ListDirectory(const std::wstring& path, std::vector<DirectoryEntry>* entries);

// Bytes available to the caller and total bytes of the volume that holds `path`.
bool DiskFreeSpace(const std::wstring& path, uint64_t* freeBytesForCaller, uint64_t* totalBytes);

}  // namespace platform
