#include "platform/named_mutex.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/errno_posix.h"

namespace platform {

struct NamedMutexObject {
  int fd = -1;  // holds the lock; -1 for a handle that found the mutex held by another
  std::string path;
};

namespace {

// Keeps letters, digits, '-', '_' and '.'; everything else (path separators above all) becomes '_'.
std::string LockFilePath(const std::wstring& name) {
  std::string safe = WideToMultiByte(CodePage::Utf8, name);
  for (char& c : safe) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_' || c == '.';
    if (!keep) c = '_';
  }
  return "/tmp/devu-mutex-" + safe + ".lock";
}

}  // namespace

NamedMutex CreateNamedMutex(const std::wstring& name, bool* alreadyExisted) {
  *alreadyExisted = false;
  const std::string path = LockFilePath(name);
  for (;;) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      posix::FailWithErrno();
      return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      close(fd);
      if (err != EWOULDBLOCK) {
        errno = err;
        posix::FailWithErrno();
        return nullptr;
      }
      // Somebody holds it: like an opened existing Win32 mutex, a handle that owns nothing.
      *alreadyExisted = true;
      return new NamedMutexObject{-1, path};
    }
    // The previous owner removes the file when it lets go; a lock won on a removed file is void.
    struct stat byPath {}, byHandle {};
    if (stat(path.c_str(), &byPath) == 0 && fstat(fd, &byHandle) == 0 && byPath.st_dev == byHandle.st_dev &&
        byPath.st_ino == byHandle.st_ino) {
      return new NamedMutexObject{fd, path};
    }
    close(fd);
  }
}

void CloseNamedMutex(NamedMutex mutex) {
  if (mutex == nullptr) return;
  if (mutex->fd >= 0) {
    unlink(mutex->path.c_str());  // while still locked, so nobody can win a lock on it meanwhile
    close(mutex->fd);
  }
  delete mutex;
}

}  // namespace platform
