#include "platform/missing_entry_posix.h"

#include <sys/stat.h>

#include "platform/error.h"

namespace platform::posix {

uint32_t MissingEntryError(const std::string& nativePath) {
  std::string path = nativePath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return kErrorFileNotFound;  // relative: the current directory
  const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  struct stat st {};
  if (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kErrorFileNotFound;
  return kErrorPathNotFound;
}

}  // namespace platform::posix
