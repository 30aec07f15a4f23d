#include "platform/named_mutex.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/errno_posix.h"

namespace platform {

struct NamedMutexObject {
  int fd = -1;
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
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    posix::FailWithErrno();
    return nullptr;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) {
      posix::FailWithErrno();
      close(fd);
      return nullptr;
    }
    // Somebody holds it: like an opened existing Win32 mutex, a handle that owns nothing.
    *alreadyExisted = true;
    close(fd);
    return new NamedMutexObject{};
  }
  return new NamedMutexObject{fd};
}

void CloseNamedMutex(NamedMutex mutex) {
  if (mutex == nullptr) return;
  if (mutex->fd >= 0) close(mutex->fd);  // closing drops the lock
  delete mutex;
}

}  // namespace platform
