#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "platform/errno_posix.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/missing_entry_posix.h"
#include "platform/native_path_posix.h"
#include "platform/open_file_table_posix.h"

namespace platform {

struct NativeFileObject {
  int fd = -1;
  posix::OpenFileRecord rights;  // what the caller asked for; the descriptor may allow more
  posix::FileIdentity identity;
  uint64_t ticket = 0;
};

namespace {

posix::OpenFileRecord RightsOf(const FileOpenParams& params) {
  posix::OpenFileRecord rights;
  rights.read = params.access == FileAccess::Read || params.access == FileAccess::ReadWrite;
  rights.write = params.access == FileAccess::Write || params.access == FileAccess::ReadWrite;
  rights.share = params.share & (kShareRead | kShareWrite);
  return rights;
}

// CreateAlways truncates after the share check has passed, so it needs a writable descriptor
// even when the caller asked for less.
int DescriptorMode(const posix::OpenFileRecord& rights, FileDisposition disposition) {
  const bool write = rights.write || disposition == FileDisposition::CreateAlways;
  if (write) return rights.read ? O_RDWR : O_WRONLY;
  return O_RDONLY;
}

// Opens the descriptor; `created` tells whether this call made the file.
int OpenDescriptor(const std::string& native, int flags, FileDisposition disposition,
                   bool* created) {
  *created = false;
  if (disposition == FileDisposition::OpenExisting) return open(native.c_str(), flags);
  int fd = open(native.c_str(), flags | O_CREAT | O_EXCL, 0666);
  if (fd >= 0) {
    *created = true;
    return fd;
  }
  if (errno != EEXIST) return -1;
  return open(native.c_str(), flags | O_CREAT, 0666);
}

uint32_t OpenErrorFromErrno(int err, const std::string& native) {
  if (err == ENOENT) return posix::MissingEntryError(native);
  return posix::Win32ErrorFromErrno(err);
}

}  // namespace

NativeFile OpenFile(const std::wstring& path, const FileOpenParams& params) {
  std::string native;
  if (!posix::ToNativePath(path, &native)) return nullptr;
  const posix::OpenFileRecord rights = RightsOf(params);
  int flags = DescriptorMode(rights, params.disposition);
  // Non-blocking so that a FIFO cannot hang the open under the table lock; refused below anyway.
  flags |= O_NONBLOCK;
  if (!params.inheritable) flags |= O_CLOEXEC;

  std::lock_guard<std::mutex> guard(posix::OpenFileTableLock());
  bool created = false;
  const int fd = OpenDescriptor(native, flags, params.disposition, &created);
  if (fd < 0) {
    posix::FailWith(OpenErrorFromErrno(errno, native));
    return nullptr;
  }
  auto fail = [fd](uint32_t error) -> NativeFile {
    close(fd);
    posix::FailWith(error);
    return nullptr;
  };
  struct stat st {};
  if (fstat(fd, &st) != 0) return fail(posix::Win32ErrorFromErrno(errno));
  // Only regular files have Win32 file semantics; a directory is refused as CreateFileW does.
  if (!S_ISREG(st.st_mode)) return fail(kErrorAccessDenied);
  const posix::FileIdentity identity{st.st_dev, st.st_ino};
  if (posix::ShareConflicts(identity, rights)) return fail(kErrorSharingViolation);
  // The read-only attribute is the owner's write bit; the superuser is held to it as well.
  const bool changesData = rights.write || params.disposition == FileDisposition::CreateAlways;
  if (!created && changesData && (st.st_mode & S_IWUSR) == 0) return fail(kErrorAccessDenied);
  if (!created && params.disposition == FileDisposition::CreateAlways && ftruncate(fd, 0) != 0) {
    return fail(posix::Win32ErrorFromErrno(errno));
  }
  const int statusFlags = fcntl(fd, F_GETFL);
  if (statusFlags >= 0) fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK);

  auto* file = new NativeFileObject;
  file->fd = fd;
  file->rights = rights;
  file->identity = identity;
  file->ticket = posix::AddOpen(identity, rights);
  // As CreateFileW reports it: an existing file met by a creating disposition.
  const bool creating = params.disposition != FileDisposition::OpenExisting;
  SetLastError(creating && !created ? kErrorAlreadyExists : kErrorSuccess);
  return file;
}

bool ReadFile(NativeFile file, void* buffer, uint32_t count, uint32_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (file == nullptr) return posix::FailWith(kErrorInvalidHandle);
  if (!file->rights.read) return posix::FailWith(kErrorAccessDenied);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = read(file->fd, static_cast<char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (bytesRead != nullptr) *bytesRead = done;
      return posix::FailWithErrno();
    }
    if (n == 0) break;  // end of file: success with what was there
    done += static_cast<uint32_t>(n);
  }
  if (bytesRead != nullptr) *bytesRead = done;
  return true;
}

bool WriteFile(NativeFile file, const void* buffer, uint32_t count, uint32_t* bytesWritten) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  if (file == nullptr) return posix::FailWith(kErrorInvalidHandle);
  if (!file->rights.write) return posix::FailWith(kErrorAccessDenied);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = write(file->fd, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (bytesWritten != nullptr) *bytesWritten = done;
      return posix::FailWithErrno();
    }
    if (n == 0) {
      if (bytesWritten != nullptr) *bytesWritten = done;
      return posix::FailWith(kErrorDiskFull);
    }
    done += static_cast<uint32_t>(n);
  }
  if (bytesWritten != nullptr) *bytesWritten = done;
  return true;
}

bool SeekFile(NativeFile file, int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  if (file == nullptr) return posix::FailWith(kErrorInvalidHandle);
  int whence = SEEK_SET;
  if (origin == SeekOrigin::Current) whence = SEEK_CUR;
  if (origin == SeekOrigin::End) whence = SEEK_END;
  // lseek refuses a negative result with EINVAL, which is kErrorInvalidParameter.
  const off_t position = lseek(file->fd, static_cast<off_t>(offset), whence);
  if (position < 0) return posix::FailWithErrno();
  if (newPosition != nullptr) *newPosition = static_cast<uint64_t>(position);
  return true;
}

bool SetEndOfFile(NativeFile file) {
  if (file == nullptr) return posix::FailWith(kErrorInvalidHandle);
  if (!file->rights.write) return posix::FailWith(kErrorAccessDenied);
  const off_t position = lseek(file->fd, 0, SEEK_CUR);
  if (position < 0) return posix::FailWithErrno();
  if (ftruncate(file->fd, position) != 0) return posix::FailWithErrno();
  return true;
}

bool FlushFile(NativeFile file) {
  if (file == nullptr) return posix::FailWith(kErrorInvalidHandle);
  if (!file->rights.write) return posix::FailWith(kErrorAccessDenied);
  if (fsync(file->fd) != 0) return posix::FailWithErrno();
  return true;
}

bool CloseFile(NativeFile file) {
  if (file == nullptr) return posix::FailWith(kErrorInvalidHandle);
  {
    std::lock_guard<std::mutex> guard(posix::OpenFileTableLock());
    posix::RemoveOpen(file->identity, file->ticket);
  }
  const int result = close(file->fd);
  const int closeErrno = errno;
  delete file;
  if (result != 0) {
    errno = closeErrno;
    return posix::FailWithErrno();
  }
  return true;
}

}  // namespace platform
