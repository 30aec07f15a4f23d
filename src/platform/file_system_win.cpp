#include <windows.h>

#include "platform/error.h"
#include "platform/file_system.h"

namespace platform {

namespace {

uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FileInfo InfoFromAttributes(DWORD attributes, DWORD sizeHigh, DWORD sizeLow,
                            const FILETIME& lastWrite) {
  FileInfo info;
  info.isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.size = info.isDirectory ? 0 : (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
  info.lastWriteTime = FromFileTime(lastWrite);
  return info;
}

bool Fail(DWORD error) {
  ::SetLastError(error);
  return false;
}

}  // namespace

bool GetFileInfo(const std::wstring& path, FileInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (info != nullptr) {
    *info = InfoFromAttributes(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                               data.ftLastWriteTime);
  }
  return true;
}

bool PathExists(const std::wstring& path) { return GetFileInfo(path, nullptr); }

bool SetReadOnly(const std::wstring& path, bool readOnly) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;  // see the header
  DWORD wanted = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                          : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  return ::SetFileAttributesW(path.c_str(), wanted) != FALSE;
}

bool SetLastWriteTime(const std::wstring& path, uint64_t fileTime) {
  // Attribute access only: no share conflict with data opens, and read-only files qualify too.
  HANDLE handle = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(fileTime);
  time.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  const BOOL ok = ::SetFileTime(handle, nullptr, nullptr, &time);
  const DWORD error = ::GetLastError();
  ::CloseHandle(handle);
  return ok ? true : Fail(error);
}

bool MoveFileReplaceExisting(const std::wstring& from, const std::wstring& to) {
  // Windows refuses to replace a read-only file; Wine replaces it. Refuse it on both.
  const DWORD target = ::GetFileAttributesW(to.c_str());
  if (target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (target & FILE_ATTRIBUTE_READONLY) != 0 &&
      ::GetFileAttributesW(from.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool RemoveFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool MakeDirectory(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool RemoveEmptyDirectory(const std::wstring& path) {
  return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

bool ListDirectory(const std::wstring& path, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  std::wstring pattern = path;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // A drive root has no "." entry, so an empty one matches nothing.
    return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries->push_back({name, InfoFromAttributes(data.dwFileAttributes, data.nFileSizeHigh,
                                                 data.nFileSizeLow, data.ftLastWriteTime)});
  } while (::FindNextFileW(find, &data));
  const DWORD error = ::GetLastError();
  ::FindClose(find);
  return error == ERROR_NO_MORE_FILES ? true : Fail(error);
}

bool DiskFreeSpace(const std::wstring& path, uint64_t* freeBytesForCaller, uint64_t* totalBytes) {
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  if (!::GetDiskFreeSpaceExW(path.c_str(), &available, &total, nullptr)) return false;
  if (freeBytesForCaller != nullptr) *freeBytesForCaller = available.QuadPart;
  if (totalBytes != nullptr) *totalBytes = total.QuadPart;
  return true;
}

}  // namespace platform
