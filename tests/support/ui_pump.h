#pragma once
// Runs the UI thread's message loop (dispatcher tasks, timers) until a condition holds.
#include <cstdint>
#include <functional>

#include "platform/clock.h"
#include "platform/message_loop.h"

namespace ui_pump_detail {

struct Wait {
  const std::function<bool()>* done;
  uint32_t startTick;
  uint32_t limitMs;
  bool ended = false;
  bool met = false;
};

inline Wait*& CurrentWait() {
  static Wait* wait = nullptr;
  return wait;
}

inline void Check(platform::WindowHandle, uint32_t, uintptr_t, uint32_t) {
  Wait* wait = CurrentWait();
  if (wait == nullptr || wait->ended) return;
  if ((*wait->done)()) {
    wait->met = true;
    wait->ended = true;
  } else if (platform::TickCount() - wait->startTick > wait->limitMs) {
    wait->ended = true;
  }
}

}  // namespace ui_pump_detail

// Dispatches the UI thread's messages until `done` returns true (checked every 10 ms) or
// `limitMs` have passed. True when `done` held. Not reentrant.
inline bool PumpUntil(const std::function<bool()>& done, uint32_t limitMs = 15000) {
  using namespace ui_pump_detail;
  if (done()) return true;
  Wait wait{&done, platform::TickCount(), limitMs};
  CurrentWait() = &wait;
  const uintptr_t timer = platform::SetThreadTimer(10, Check);
  platform::RunModalLoop(wait.ended);
  platform::KillThreadTimer(timer);
  CurrentWait() = nullptr;
  return wait.met;
}

// Dispatches messages for `ms` milliseconds.
inline void PumpFor(uint32_t ms) {
  const uint32_t start = platform::TickCount();
  PumpUntil([&] { return platform::TickCount() - start >= ms; }, ms + 1000);
}
