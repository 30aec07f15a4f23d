#pragma once
// Starting helper programs from tests that start many of them in a row.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/error.h"
#include "platform/process.h"

namespace child_process {

inline std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Under Wine, a start among many in a row has failed with an internal error (1359) while other
// suites ran beside it, and did not fail again when repeated. Such a start is tried again a few
// times, each said on stderr, before the test gives up; the error of the last attempt stays set
// for the caller's message.
inline platform::ProcessHandle StartChild(const std::wstring& program, const std::wstring& commandLine) {
  constexpr int kAttempts = 5;
  for (int attempt = 1;; ++attempt) {
    platform::ProcessHandle process = platform::StartProcess(program, commandLine, nullptr, nullptr);
    if (process != nullptr || attempt == kAttempts) return process;
    const uint32_t error = platform::LastError();
    std::fprintf(stderr, "starting a helper program failed with error %u; trying again\n", static_cast<unsigned>(error));
    std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
    platform::SetLastError(error);
  }
}

}  // namespace child_process
