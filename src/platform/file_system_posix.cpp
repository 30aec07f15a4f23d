#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <mutex>

#include "platform/codepage.h"
#include "platform/errno_posix.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/missing_entry_posix.h"
#include "platform/native_path_posix.h"
#include "platform/open_file_table_posix.h"

namespace platform {

namespace {

constexpr int64_t kFileTimeTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

uint64_t FileTimeFromTimespec(const timespec& time) {
  const int64_t ticks =
      (static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * kFileTimeTicksPerSecond +
      time.tv_nsec / 100;
  return ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
}

timespec TimespecFromFileTime(uint64_t fileTime) {
  timespec time{};
  time.tv_sec = static_cast<time_t>(static_cast<int64_t>(fileTime / kFileTimeTicksPerSecond) -
                                    kSecondsFrom1601To1970);
  time.tv_nsec = static_cast<long>(fileTime % kFileTimeTicksPerSecond) * 100;
  return time;
}

// Directories never carry the read-only attribute here: on Windows it does not restrict them.
bool IsReadOnly(const struct stat& st) {
  return !S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

FileInfo InfoFromStat(const struct stat& st) {
  FileInfo info;
  info.isDirectory = S_ISDIR(st.st_mode);
  info.readOnly = IsReadOnly(st);
  info.size = info.isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
  info.lastWriteTime = FileTimeFromTimespec(st.st_mtim);
  return info;
}

// Sets the last error for a failed call on `native` and returns false.
bool FailOnPath(int err, const std::string& native) {
  if (err == ENOENT || err == ENOTDIR) return posix::FailWith(posix::MissingEntryError(native));
  return posix::FailWith(posix::Win32ErrorFromErrno(err));
}

// stat() with Win32 errors for a missing entry.
bool StatPath(const std::string& native, struct stat* st) {
  if (stat(native.c_str(), st) == 0) return true;
  return FailOnPath(errno, native);
}

// lstat(): deleting and renaming act on a symbolic link itself, not on what it points to.
bool LstatPath(const std::string& native, struct stat* st) {
  if (lstat(native.c_str(), st) == 0) return true;
  return FailOnPath(errno, native);
}

posix::FileIdentity IdentityOf(const struct stat& st) { return {st.st_dev, st.st_ino}; }

}  // namespace

bool GetFileInfo(const std::wstring& path, FileInfo* info) {
  std::string native;
  if (!posix::ToNativePath(path, &native)) return false;
  struct stat st {};
  if (!StatPath(native, &st)) return false;
  if (info != nullptr) *info = InfoFromStat(st);
  return true;
}

bool PathExists(const std::wstring& path) { return GetFileInfo(path, nullptr); }

bool SetReadOnly(const std::wstring& path, bool readOnly) {
  std::string native;
  if (!posix::ToNativePath(path, &native)) return false;
  struct stat st {};
  if (!StatPath(native, &st)) return false;
  if (S_ISDIR(st.st_mode)) return true;  // accepted and without effect, see IsReadOnly
  const mode_t mode = readOnly ? (st.st_mode & ~S_IWUSR) : (st.st_mode | S_IWUSR);
  if (chmod(native.c_str(), mode & 07777) != 0) return FailOnPath(errno, native);
  return true;
}

bool SetLastWriteTime(const std::wstring& path, uint64_t fileTime) {
  std::string native;
  if (!posix::ToNativePath(path, &native)) return false;
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // access time unchanged
  times[1] = TimespecFromFileTime(fileTime);
  if (utimensat(AT_FDCWD, native.c_str(), times, 0) != 0) return FailOnPath(errno, native);
  return true;
}

bool MoveFileReplaceExisting(const std::wstring& from, const std::wstring& to) {
  std::string nativeFrom;
  std::string nativeTo;
  if (!posix::ToNativePath(from, &nativeFrom) || !posix::ToNativePath(to, &nativeTo)) return false;

  std::lock_guard<std::mutex> guard(posix::OpenFileTableLock());
  struct stat source {};
  if (!LstatPath(nativeFrom, &source)) return false;
  // Renaming opens the source for deletion, which no open of ours shares.
  if (posix::IsOpenForData(IdentityOf(source))) return posix::FailWith(kErrorSharingViolation);

  struct stat target {};
  if (lstat(nativeTo.c_str(), &target) == 0) {
    const bool sameEntry = target.st_dev == source.st_dev && target.st_ino == source.st_ino;
    if (!sameEntry) {
      // An existing directory is never replaced, nor is a file by a directory; a target that is
      // open (with any access) or read-only is refused as Windows refuses it.
      if (S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode)) {
        return posix::FailWith(kErrorAccessDenied);
      }
      if (posix::IsOpen(IdentityOf(target))) return posix::FailWith(kErrorAccessDenied);
      if (IsReadOnly(target)) return posix::FailWith(kErrorAccessDenied);
    }
  } else if (errno != ENOENT) {
    return FailOnPath(errno, nativeTo);
  }

  if (rename(nativeFrom.c_str(), nativeTo.c_str()) != 0) {
    // The source was there a moment ago, so a missing entry is on the target's side.
    if (errno == ENOENT || errno == ENOTDIR) return posix::FailWith(kErrorPathNotFound);
    return posix::FailWithErrno();  // EXDEV is kErrorNotSameDevice: no copying here
  }
  return true;
}

bool RemoveFile(const std::wstring& path) {
  std::string native;
  if (!posix::ToNativePath(path, &native)) return false;
  std::lock_guard<std::mutex> guard(posix::OpenFileTableLock());
  struct stat st {};
  if (!LstatPath(native, &st)) return false;
  if (S_ISDIR(st.st_mode)) return posix::FailWith(kErrorAccessDenied);
  if (posix::IsOpenForData(IdentityOf(st))) return posix::FailWith(kErrorSharingViolation);
  if (IsReadOnly(st)) return posix::FailWith(kErrorAccessDenied);
  if (unlink(native.c_str()) != 0) return FailOnPath(errno, native);
  return true;
}

bool MakeDirectory(const std::wstring& path) {
  std::string native;
  if (!posix::ToNativePath(path, &native)) return false;
  if (mkdir(native.c_str(), 0777) == 0) return true;
  if (errno == ENOENT || errno == ENOTDIR) return posix::FailWith(kErrorPathNotFound);
  return posix::FailWithErrno();  // EEXIST, also for a file of that name: kErrorAlreadyExists
}

bool RemoveEmptyDirectory(const std::wstring& path) {
  std::string native;
  if (!posix::ToNativePath(path, &native)) return false;
  if (rmdir(native.c_str()) == 0) return true;
  const int err = errno;
  if (err == ENOTEMPTY || err == EEXIST) return posix::FailWith(kErrorDirNotEmpty);
  if (err == ENOTDIR) {
    struct stat st {};
    if (stat(native.c_str(), &st) == 0) return posix::FailWith(kErrorDirectory);  // a file
  }
  return FailOnPath(err, native);
}

bool ListDirectory(const std::wstring& path, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  std::string native;
  if (!posix::ToNativePath(path, &native)) return false;
  DIR* dir = opendir(native.c_str());
  if (dir == nullptr) {
    // A missing directory is a missing path to its entries.
    if (errno == ENOENT || errno == ENOTDIR) return posix::FailWith(kErrorPathNotFound);
    return posix::FailWithErrno();
  }
  const int dirFd = dirfd(dir);
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    // A dangling symbolic link is still an entry; describe the link itself.
    if (fstatat(dirFd, name.c_str(), &st, 0) != 0 &&
        fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // vanished since it was read
    }
    entries->push_back({MultiByteToWide(CodePage::Utf8, name), InfoFromStat(st)});
  }
  const int readErrno = errno;
  closedir(dir);
  if (readErrno != 0) {
    errno = readErrno;
    return posix::FailWithErrno();
  }
  return true;
}

bool DiskFreeSpace(const std::wstring& path, uint64_t* freeBytesForCaller, uint64_t* totalBytes) {
  std::string native;
  if (!posix::ToNativePath(path, &native)) return false;
  struct stat st {};
  if (!StatPath(native, &st)) return false;
  if (!S_ISDIR(st.st_mode)) return posix::FailWith(kErrorDirectory);
  struct statvfs volume {};
  if (statvfs(native.c_str(), &volume) != 0) return FailOnPath(errno, native);
  const uint64_t unit = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
  if (freeBytesForCaller != nullptr)
    *freeBytesForCaller = static_cast<uint64_t>(volume.f_bavail) * unit;
  if (totalBytes != nullptr) *totalBytes = static_cast<uint64_t>(volume.f_blocks) * unit;
  return true;
}

}  // namespace platform
