#pragma once
// The debugger output channel. Windows: OutputDebugStringW. POSIX: standard error, only while the
// environment variable DEVU_TRACE is set (to anything), so tests and headless runs stay quiet.
#include <string>

namespace platform {

void DebugOutput(const std::wstring& text);

}  // namespace platform
