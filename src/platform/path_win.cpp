#include "platform/path.h"

#include <windows.h>

namespace platform {

std::wstring ModuleFilePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH + 1) return {};
  return std::wstring(buffer, n);
}

std::wstring FullPathFromArgument(const std::wstring& argument) {
  if (argument.empty()) return {};
  const DWORD needed = ::GetFullPathNameW(argument.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD n = ::GetFullPathNameW(argument.c_str(), needed, full.data(), nullptr);
  if (n == 0 || n >= needed) return {};
  full.resize(n);
  return full;
}

bool MapDrive(wchar_t letter, const std::wstring& target) {
  const wchar_t device[3] = {letter, L':', 0};
  return ::DefineDosDeviceW(0, device, target.c_str()) != 0;
}

bool UnmapDrive(wchar_t letter) {
  const wchar_t device[3] = {letter, L':', 0};
  return ::DefineDosDeviceW(DDD_REMOVE_DEFINITION, device, nullptr) != 0;
}

}  // namespace platform
