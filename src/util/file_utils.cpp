#include "util/file_utils.h"

#include <vector>

#include "commonlib/core/file_ex.h"
#include "commonlib/core/file_ex_exception.h"
#include "commonlib/core/file_ex_flags.h"
#include "logger/log.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder_picker.h"
#include "util/common_utils.h"
#include "util/md5.h"
#include "util/format.h"
#include "util/text_edit.h"

namespace {

bool IsDrive(const std::wstring& text) { return text.size() == 2 && text[1] == L':'; }

bool IsDirectory(const std::wstring& path) {
  platform::FileInfo info;
  return platform::GetFileInfo(path, &info) && info.isDirectory;
}

// `dir` ends with a backslash.
void DeleteTreeBelow(const std::wstring& dir) {
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectory(dir, &entries)) return;
  for (const auto& entry : entries) {
    const std::wstring path = dir + entry.name;
    if (entry.info.isDirectory) {
      FileUtils::DeleteDirectory(path + L"\\");
    } else if (!platform::RemoveFile(path)) {
      platform::SetReadOnly(path, false);
      platform::RemoveFile(path);
    }
  }
}

}  // namespace

bool FileUtils::CreateDir(const std::wstring& path) {
  if (IsDirectory(path)) return true;
  const uint32_t result = platform::MakeDirectoryTree(path);
  if (result == platform::kErrorSuccess || result == platform::kErrorAlreadyExists) return true;
  LOG_ERRO(L"CreateDir：%s ret：%d", path.c_str(), static_cast<int>(result));
  return false;
}

bool FileUtils::CreateEmptyFile(const std::wstring& path) {
  const std::wstring parent = GetParentDir(path);
  if (!parent.empty() && !IsDrive(parent)) CreateDir(parent);
  platform::FileOpenParams params;
  params.access = platform::FileAccess::Write;
  params.share = platform::kShareNone;
  params.disposition = platform::FileDisposition::CreateAlways;
  platform::NativeFile file = platform::OpenFile(path, params);
  if (file == nullptr) return false;
  platform::CloseFile(file);
  return true;
}

bool FileUtils::RemoveFile(const std::wstring& path) {
  if (!platform::PathExists(path)) return true;
  return platform::RemoveFile(path);
}

bool FileUtils::MoveFileReplace(const std::wstring& from, const std::wstring& to, uint32_t retries) {
  return MoveFileReplace(from, to, retries, [](uint32_t ms) { platform::SleepMs(ms); });
}

bool FileUtils::MoveFileReplace(const std::wstring& from, const std::wstring& to, uint32_t retries,
                                const std::function<void(uint32_t milliseconds)>& sleep) {
  if (!platform::PathExists(from)) return false;
  for (uint32_t attempt = 0; attempt <= retries; ++attempt) {
    if (platform::MoveFileReplaceExisting(from, to)) return true;
    if (retries != 0) sleep(1 + 100 * attempt);
    if (attempt == retries) break;  // retries may be the largest value
  }
  return false;
}

int64_t FileUtils::GetFileLength(const std::wstring& path) {
  platform::FileOpenParams params;
  params.access = platform::FileAccess::Read;
  params.share = platform::kShareRead | platform::kShareWrite;
  platform::NativeFile file = platform::OpenFile(path, params);
  if (file != nullptr) {
    uint64_t end = 0;
    const bool measured = platform::SeekFile(file, 0, platform::SeekOrigin::End, &end);
    platform::CloseFile(file);
    if (measured) return static_cast<int64_t>(end);
  }
  // Opened elsewhere without read sharing, or a directory: the directory entry still knows.
  platform::FileInfo info;
  if (platform::GetFileInfo(path, &info)) return static_cast<int64_t>(info.size);
  return -1;
}

bool FileUtils::DeleteDirectory(const std::wstring& dir) {
  if (dir.empty()) return false;
  const std::wstring normalized = NormalizePath(dir);
  // "\", "/" and drive roots normalise to nothing or to a bare drive: never wiped.
  if (normalized.empty() || IsDrive(normalized)) return true;
  std::wstring withSlash = dir;
  if (withSlash.back() != L'\\' && withSlash.back() != L'/') withSlash += L'\\';
  if (!platform::PathExists(normalized)) return true;
  DeleteTreeBelow(withSlash);
  return platform::RemoveEmptyDirectory(normalized);
}

bool FileUtils::ClearReadOnly(const std::wstring& path) {
  if (!platform::PathExists(path)) return false;
  return platform::SetReadOnly(path, false);
}

bool FileUtils::GetFileModifiedTime(const std::wstring& path, int64_t* secondsSince1970) {
  std::wstring full = path;
  if (path.size() <= 2 || path[1] != L':') full = CommonUtils::GetModuleDir() + L"\\" + path;
  platform::FileInfo info;
  if (!platform::GetFileInfo(full, &info)) return false;
  *secondsSince1970 = CommonUtils::FileTimeToUnixTime(info.lastWriteTime);
  return true;
}

std::wstring FileUtils::NormalizePath(const std::wstring& path) {
  std::wstring result;
  result.reserve(path.size());
  for (wchar_t c : path) {
    if (c == L'/') c = L'\\';
    if (c == L'\\' && !result.empty() && result.back() == L'\\') continue;
    result += c;
  }
  if (!result.empty() && result.back() == L'\\') result.pop_back();
  return result;
}

std::wstring FileUtils::GetParentDir(const std::wstring& path) {
  const std::wstring normalized = NormalizePath(path);
  const size_t slash = normalized.rfind(L'\\');
  if (slash == std::wstring::npos) return {};
  return normalized.substr(0, slash);
}

std::wstring FileUtils::GetFileName(const std::wstring& path) {
  const std::wstring normalized = NormalizePath(path);
  const size_t slash = normalized.rfind(L'\\');
  if (slash == std::wstring::npos) return normalized;
  return normalized.substr(slash + 1);
}

bool FileUtils::IsValidInstallPath(const std::wstring& path) {
  static const wchar_t* const kForbidden[] = {L"\\", L"/", L":", L"*", L"?", L"\"", L"<", L">", L"|"};
  const std::vector<std::wstring> pieces = SplitW(path, L"\\");
  if (pieces.empty() || !IsDrive(pieces[0])) return false;
  for (size_t i = 1; i < pieces.size(); ++i) {
    for (const wchar_t* forbidden : kForbidden) {
      if (pieces[i].find(forbidden) != std::wstring::npos) return false;
    }
  }
  return true;
}

bool FileUtils::DriveExists(const std::wstring& path) {
  const std::wstring drive = path.substr(0, 2);
  if (IsDrive(drive)) return platform::DriveExists(drive[0]);
  return platform::PathExists(drive);
}

bool FileUtils::CanWriteDir(const std::wstring& path) {
  std::wstring dir = NormalizePath(path);
  while (!dir.empty() && !platform::PathExists(dir)) dir = GetParentDir(dir);
  if (dir.empty()) return false;
  const int64_t now = CommonUtils::FileTimeToUnixTime(platform::SystemTimeAsFileTime());
  const std::wstring probe = FormatW(L"%s\\tstest_%d.qbts", dir.c_str(), static_cast<int32_t>(now));
  if (!CreateEmptyFile(probe)) return false;
  platform::RemoveFile(probe);
  return true;
}

std::wstring FileUtils::BrowseForFolder(platform::WindowHandle owner, const std::wstring& initialPath) {
  std::wstring chosen = platform::PickFolder(owner, L"选择文件夹", initialPath);
  if (chosen.size() > 3 && chosen.back() == L'\\') chosen.pop_back();
  return chosen;
}

std::string FileUtils::ComputeFileMd5(const std::wstring& path) {
  CFileEx file;
  if (!file.Open(path, FileModeRead | FileShareDenyWrite | FileBinary)) return std::string();
  MD5 digest;
  std::vector<uint8_t> buffer(1 << 20);
  try {
    for (;;) {
      const uint32_t read = file.Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
      if (read == 0) break;
      digest.update(buffer.data(), read);
    }
  } catch (const CFileExException&) {
    return std::string();
  }
  digest.finalize();
  return digest.hex_digest();
}
