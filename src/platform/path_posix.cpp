#include "platform/path.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <mutex>
#include <optional>

#include "platform/codepage.h"
#include "platform/errno_posix.h"
#include "platform/error.h"
#include "platform/native_path_posix.h"

namespace platform {

namespace {

// Drive letter -> native root directory without a trailing "/" ("" is the file system root).
struct DriveTable {
  std::mutex lock;
  std::array<std::optional<std::string>, 26> roots;
  DriveTable() { roots['C' - 'A'] = std::string(); }
};

DriveTable& Drives() {
  static DriveTable table;
  return table;
}

int DriveIndex(wchar_t letter) {
  if (letter >= L'a' && letter <= L'z') return letter - L'a';
  if (letter >= L'A' && letter <= L'Z') return letter - L'A';
  return -1;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::string SlashesToNative(std::wstring_view rest) {
  std::wstring copy(rest);
  for (auto& c : copy) {
    if (c == L'\\') c = L'/';
  }
  return WideToMultiByte(CodePage::Utf8, copy);
}

}  // namespace

namespace posix {

bool ToNativePath(std::wstring_view path, std::string* native) {
  int drive = -1;
  std::wstring_view rest = path;
  if (path.size() >= 2 && path[1] == L':') {
    drive = DriveIndex(path[0]);
    if (drive < 0) return FailWith(kErrorInvalidName);
    rest = path.substr(2);
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return FailWith(kErrorPathNotFound);  // UNC and device paths have no native counterpart
  } else if (!path.empty() && IsSeparator(path[0])) {
    drive = 'C' - 'A';
  } else {
    *native = SlashesToNative(rest);
    return true;
  }
  std::string root;
  {
    DriveTable& table = Drives();
    std::lock_guard<std::mutex> guard(table.lock);
    if (!table.roots[static_cast<size_t>(drive)]) return FailWith(kErrorPathNotFound);
    root = *table.roots[static_cast<size_t>(drive)];
  }
  while (!rest.empty() && IsSeparator(rest.front())) rest.remove_prefix(1);
  *native = root + "/" + SlashesToNative(rest);
  return true;
}

std::wstring FromNativePath(std::string_view native) {
  if (native.empty() || native.front() != '/') {
    std::wstring relative = MultiByteToWide(CodePage::Utf8, native);
    for (auto& c : relative) {
      if (c == L'/') c = L'\\';
    }
    return relative;
  }
  int best = -1;
  size_t bestLength = 0;
  {
    DriveTable& table = Drives();
    std::lock_guard<std::mutex> guard(table.lock);
    for (size_t i = 0; i < table.roots.size(); ++i) {
      if (!table.roots[i]) continue;
      const std::string& root = *table.roots[i];
      const bool matches = native.substr(0, root.size()) == root &&
                           (native.size() == root.size() || native[root.size()] == '/');
      if (matches && (best < 0 || root.size() > bestLength)) {
        best = static_cast<int>(i);
        bestLength = root.size();
      }
    }
  }
  if (best < 0) return MultiByteToWide(CodePage::Utf8, native);  // outside every drive
  std::wstring rest = MultiByteToWide(CodePage::Utf8, native.substr(bestLength));
  for (auto& c : rest) {
    if (c == L'/') c = L'\\';
  }
  if (rest.empty()) rest = L"\\";
  return std::wstring(1, static_cast<wchar_t>(L'A' + best)) + L":" + rest;
}

}  // namespace posix

std::wstring ModuleFilePath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) {
    posix::FailWithErrno();
    return {};
  }
  return posix::FromNativePath(std::string_view(buffer, static_cast<size_t>(n)));
}

std::wstring TempFolder() {
  const char* dir = getenv("TMPDIR");
  std::string native = (dir != nullptr && dir[0] == '/') ? dir : "/tmp";
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  std::wstring path = posix::FromNativePath(native);
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path;
}

std::wstring FullPathFromArgument(const std::wstring& argument) {
  if (argument.empty()) return {};
  // Already a path of the drive space ("C:\dir\file").
  if (argument.size() >= 3 && argument[1] == L':' && IsSeparator(argument[2])) return argument;
  std::string native = WideToMultiByte(CodePage::Utf8, argument);
  if (native.front() != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof(cwd)) == nullptr) {
      posix::FailWithErrno();
      return {};
    }
    native = std::string(cwd) + "/" + native;
  }
  return posix::FromNativePath(native);
}

bool MapDrive(wchar_t letter, const std::wstring& target) {
  const int drive = DriveIndex(letter);
  if (drive < 0) return posix::FailWith(kErrorInvalidParameter);
  std::string native;
  if (!posix::ToNativePath(target, &native)) return false;
  char resolved[PATH_MAX];
  if (realpath(native.c_str(), resolved) == nullptr) return posix::FailWithErrno();
  struct stat st {};
  if (stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) return posix::FailWith(kErrorPathNotFound);
  std::string root = resolved;
  if (root == "/") root.clear();
  DriveTable& table = Drives();
  std::lock_guard<std::mutex> guard(table.lock);
  table.roots[static_cast<size_t>(drive)] = root;
  return true;
}

bool UnmapDrive(wchar_t letter) {
  const int drive = DriveIndex(letter);
  if (drive < 0) return posix::FailWith(kErrorInvalidParameter);
  DriveTable& table = Drives();
  std::lock_guard<std::mutex> guard(table.lock);
  if (!table.roots[static_cast<size_t>(drive)]) return posix::FailWith(kErrorFileNotFound);
  table.roots[static_cast<size_t>(drive)].reset();
  return true;
}

}  // namespace platform
