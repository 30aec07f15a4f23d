#pragma once
// The records of the meta file kill test, shared by the test and its child program. Record n
// carries n in several members (the p2p byte count, the elapsed time, the gap layout, the text
// and number of log lines), and the gap and line counts change with n, so consecutive records
// differ in length and a file that mixes two saves cannot pass for either.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/download_task.h"
#include "platform/clock.h"

namespace meta_kill {

constexpr uint64_t kFileSize = 1000000000;
inline const wchar_t* Md5() { return L"00112233445566778899AABBCCDDEEFF"; }
inline const wchar_t* FileName() { return L"game.exe"; }
// Created by the child just before it starts saving.
inline const wchar_t* ReadyFileName() { return L"ready"; }
// The sequence number of the child's last completed save, kSavedDigits decimal digits written
// over the start of the file with one write; empty until the first save completes.
inline const wchar_t* SavedFileName() { return L"saved"; }
constexpr size_t kSavedDigits = 20;
constexpr uint64_t kElapsedMsPerStep = 100000;

inline std::vector<std::pair<uint64_t, uint64_t>> Gaps(uint64_t n) {
  std::vector<std::pair<uint64_t, uint64_t>> gaps;
  const uint64_t count = 1 + n % 13;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t start = i * 10000000 + (n % 1000) * 1000;
    gaps.emplace_back(start, start + n % 977 + i);
  }
  return gaps;
}

inline size_t EventCount(uint64_t n) { return static_cast<size_t>(1 + n % 5); }
inline std::wstring EventText(uint64_t n) { return L"seq " + std::to_wstring(n); }

// Gives `task` (made for kFileSize and Md5()) the state of record n.
inline void FillTask(CDownloadTask& task, uint64_t n) {
  task.SetP2pBytes(n);
  task.SetElapsedMs(n * kElapsedMsPerStep);
  task.SetRunStartTick(platform::TickCount());
  for (const auto& gap : Gaps(n)) task.Gaps().AddRange(gap.first, gap.second);
  for (size_t i = 0; i < EventCount(n); ++i) task.Log().RecordEvent(L"kill", EventText(n));
}

}  // namespace meta_kill
