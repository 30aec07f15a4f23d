#include "platform/shell_folder.h"

#include <mutex>

#include "platform/errno_posix.h"
#include "platform/error.h"

namespace platform {

namespace {

std::mutex gRootLock;
std::wstring gRoot = L"C:";

// Where a clean Windows 10 installation keeps the folders, below the drive root.
const wchar_t* FolderBelowRoot(int csidl) {
  switch (csidl) {
    case 0x05: return L"\\Users\\User\\Documents";          // personal
    case 0x10: return L"\\Users\\User\\Desktop";            // desktop
    case 0x1A: return L"\\Users\\User\\AppData\\Roaming";   // application data
    case 0x1C: return L"\\Users\\User\\AppData\\Local";     // local application data
    case kCsidlCommonAppData: return L"\\ProgramData";
    case 0x24: return L"\\Windows";
    case 0x25: return L"\\Windows\\system32";
    case 0x26: return L"\\Program Files";
    case kCsidlCommonDocuments: return L"\\Users\\Public\\Documents";
    default: return nullptr;
  }
}

}  // namespace

std::wstring SpecialFolderPath(int csidl) {
  const wchar_t* below = FolderBelowRoot(csidl);
  if (below == nullptr) {
    posix::FailWith(kErrorInvalidParameter);
    return {};
  }
  std::lock_guard<std::mutex> guard(gRootLock);
  return gRoot + below;
}

bool SetSpecialFolderRoot(const std::wstring& root) {
  std::lock_guard<std::mutex> guard(gRootLock);
  gRoot = root.empty() ? L"C:" : root;
  return true;
}

}  // namespace platform
