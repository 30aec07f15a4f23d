#pragma once
// Paths and files: directory trees, files created, removed and renamed with retries, sizes, path
// text, installation paths and the folder picker. Paths are Windows paths; a directory path is
// written without a trailing backslash unless a function says otherwise. Nothing here throws.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/message_loop.h"

class FileUtils {
 public:
  // True when the directory exists or was made with all missing parents. A file standing at the
  // path is not a directory: false, logged like any other failure.
  static bool CreateDir(const std::wstring& path);
  // Creates (or empties) the file and its missing parent directories.
  static bool CreateEmptyFile(const std::wstring& path);
  // A missing file counts as removed.
  static bool RemoveFile(const std::wstring& path);

  // Up to retries + 1 attempts to rename `from` onto `to`, replacing it; after each failed attempt
  // n (from 0) it sleeps 1 + 100 * n ms, unless retries is 0. False at once when `from` is missing.
  static bool MoveFileReplace(const std::wstring& from, const std::wstring& to, uint32_t retries);
  // The same with the sleeps handed to `sleep` (tests count them).
  static bool MoveFileReplace(const std::wstring& from, const std::wstring& to, uint32_t retries,
                              const std::function<void(uint32_t milliseconds)>& sleep);

  // Size of the file, or -1 when it can be neither opened nor found.
  static int64_t GetFileLength(const std::wstring& path);
  // The MD5 digest of the file's bytes as 32 lowercase hex digits; empty when it cannot be read.
  static std::string ComputeFileMd5(const std::wstring& path);

  // Deletes `dir` (written with a trailing backslash, which is added when missing) and everything
  // in it; read-only files are deleted too. "\", "/" and drive roots are refused: nothing is done
  // and the result is true, as it is for a directory that does not exist. False when `dir` itself
  // could not be removed, or is empty.
  static bool DeleteDirectory(const std::wstring& dir);
  // Clears the read-only attribute of an existing entry; false when it is missing.
  static bool ClearReadOnly(const std::wstring& path);
  // Last-write time in seconds since 1970 UTC. A path without a drive ("X:") is taken relative to
  // the program's directory.
  static bool GetFileModifiedTime(const std::wstring& path, int64_t* secondsSince1970);

  // "/" becomes "\", runs of "\" become one, one trailing "\" is removed.
  static std::wstring NormalizePath(const std::wstring& path);
  // The normalised path before its last "\"; empty when it has none.
  static std::wstring GetParentDir(const std::wstring& path);
  // The normalised path after its last "\"; all of it when it has none.
  static std::wstring GetFileName(const std::wstring& path);

  // A drive ("C:") followed by pieces free of \ / : * ? " < > |.
  static bool IsValidInstallPath(const std::wstring& path);
  // Whether the drive named by the first two characters exists.
  static bool DriveExists(const std::wstring& path);
  // Whether a new file can be made in `path` or, when it does not exist yet, in its nearest
  // existing ancestor.
  static bool CanWriteDir(const std::wstring& path);
  // The folder picker; the chosen path (a drive root keeps its backslash), empty when cancelled.
  static std::wstring BrowseForFolder(platform::WindowHandle owner, const std::wstring& initialPath);
};
