#include "platform/string_resource.h"

#include <windows.h>

namespace platform {

std::wstring LoadStringResource(uint32_t id) {
  // A buffer length of 0 returns a read-only pointer into the resource itself.
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return std::wstring(text, static_cast<size_t>(length));
}

}  // namespace platform
