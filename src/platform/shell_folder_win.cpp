#include "platform/shell_folder.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace platform {

std::wstring SpecialFolderPath(int csidl) {
  const HRESULT com = ::CoInitialize(nullptr);
  std::wstring path;
  LPITEMIDLIST list = nullptr;
  if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, csidl, &list)) && list != nullptr) {
    wchar_t buffer[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(list, buffer)) path = buffer;
    ::CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return path;
}

bool SetSpecialFolderRoot(const std::wstring&) {
  ::SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

}  // namespace platform
