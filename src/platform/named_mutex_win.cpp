#include "platform/named_mutex.h"

#include <windows.h>

namespace platform {

NamedMutex CreateNamedMutex(const std::wstring& name, bool* alreadyExisted) {
  HANDLE handle = ::CreateMutexW(nullptr, FALSE, name.c_str());
  *alreadyExisted = handle != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
  return reinterpret_cast<NamedMutex>(handle);
}

void CloseNamedMutex(NamedMutex mutex) {
  if (mutex != nullptr) ::CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

}  // namespace platform
