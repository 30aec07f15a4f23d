#pragma once
// Starting helper programs from tests that start many of them in a row.
#include <chrono>
#include <string>
#include <thread>

#include "platform/error.h"
#include "platform/process.h"

namespace child_process {

inline std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Wine's CreateProcess now and then fails with an internal error when many processes start and
// end under load; such a start is tried again a few times before the test gives up. The last
// error of the final attempt stays set for the caller's message.
inline platform::ProcessHandle StartChild(const std::wstring& program, const std::wstring& commandLine) {
  constexpr int kAttempts = 5;
  for (int attempt = 1;; ++attempt) {
    platform::ProcessHandle process = platform::StartProcess(program, commandLine, nullptr, nullptr);
    if (process != nullptr || attempt == kAttempts) return process;
    const uint32_t error = platform::LastError();
    std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
    platform::SetLastError(error);
  }
}

}  // namespace child_process
