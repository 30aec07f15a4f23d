#include "platform/error.h"

#include <cerrno>

#include "platform/errno_posix.h"

namespace platform {

namespace {
thread_local uint32_t tLastError = kErrorSuccess;
}

uint32_t LastError() { return tLastError; }
void SetLastError(uint32_t code) { tLastError = code; }

namespace posix {

uint32_t Win32ErrorFromErrno(int err) {
  switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EXDEV: return kErrorNotSameDevice;
    case EROFS: return kErrorWriteProtect;
    case EEXIST: return kErrorAlreadyExists;
    case EINVAL: return kErrorInvalidParameter;
    case EPIPE: return kErrorBrokenPipe;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case ENOSYS:
    case EOPNOTSUPP: return kErrorNotSupported;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case EBUSY:
    case ETXTBSY: return kErrorBusy;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case ETIMEDOUT: return kErrorTimeout;
    case ELOOP: return kErrorInvalidName;
    default: return kErrorGenFailure;
  }
}

bool FailWithErrno() {
  SetLastError(Win32ErrorFromErrno(errno));
  return false;
}

bool FailWith(uint32_t win32Error) {
  SetLastError(win32Error);
  return false;
}

}  // namespace posix
}  // namespace platform
