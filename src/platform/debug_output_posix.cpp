#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>

#include "platform/codepage.h"

namespace platform {

void DebugOutput(const std::wstring& text) {
  static const bool enabled = std::getenv("DEVU_TRACE") != nullptr;
  if (!enabled) return;
  const std::string bytes = WideToMultiByte(CodePage::Utf8, text);
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
}

}  // namespace platform
