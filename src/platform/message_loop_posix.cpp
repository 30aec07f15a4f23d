#include "platform/message_loop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/error.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// The limits Win32 applies to timer periods.
constexpr uint32_t kMinimumTimerMs = 10;
constexpr uint32_t kMaximumTimerMs = 0x7FFFFFFF;

constexpr uint32_t kFirstRegisteredMessage = 0xC000;
constexpr uint32_t kLastRegisteredMessage = 0xFFFF;

struct Timer {
  WindowHandle window = nullptr;  // nullptr: a thread timer
  uintptr_t id = 0;
  TimerProc proc = nullptr;  // thread timers only
  std::chrono::milliseconds period{0};
  Clock::time_point due;
};

// The message queue of one thread. Any thread appends to `posted`; everything else is used by
// the owning thread only, but kept under the same lock so that the waiting loop reads one state.
struct ThreadQueue {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<Message> posted;
  std::vector<Timer> timers;
  bool quitPending = false;
  int quitCode = 0;
};

struct WindowRecord {
  std::shared_ptr<ThreadQueue> owner;
  WindowProc proc = nullptr;
  void* userData = nullptr;
  bool destroying = false;
};

// Lock order: the registry's lock before any queue's lock, never the other way round. Posting
// appends while holding both, so a window removed from the registry can have no message appended
// after DestroyWindow has purged its queue.
struct Registry {
  std::mutex lock;
  std::unordered_map<uintptr_t, WindowRecord> windows;  // keyed by handle value, never reused
  uintptr_t nextWindowId = 1;
  std::unordered_map<std::wstring, WindowProc> classes;
  std::unordered_map<std::wstring, uint32_t> messages;
  uint32_t nextMessage = kFirstRegisteredMessage;
};

// Never destroyed: threads that outlive static destruction may still post.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

std::atomic<uintptr_t> gNextThreadTimerId{1};

// Win32 compares class and message names without regard to case.
std::wstring FoldCase(const std::wstring& name) {
  std::wstring folded = name;
  for (wchar_t& c : folded) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return folded;
}

uintptr_t IdOf(WindowHandle window) { return reinterpret_cast<uintptr_t>(window); }
WindowHandle HandleOf(uintptr_t id) { return reinterpret_cast<WindowHandle>(id); }

void RemoveWindowsOf(const ThreadQueue* queue);

// Holds the calling thread's queue; when the thread ends its windows go with it, as on Win32.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (queue) RemoveWindowsOf(queue.get());
  }
};
thread_local QueueHolder tQueue;

const std::shared_ptr<ThreadQueue>& CurrentQueue() {
  if (!tQueue.queue) tQueue.queue = std::make_shared<ThreadQueue>();
  return tQueue.queue;
}

bool OwnedByCallingThread(const WindowRecord& record) { return record.owner.get() == tQueue.queue.get(); }

void RemoveWindowsOf(const ThreadQueue* queue) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  std::erase_if(registry.windows, [queue](const auto& entry) { return entry.second.owner.get() == queue; });
}

// The calling thread's window record, or nullptr with the reason in the last error. Call with the
// registry's lock held.
WindowRecord* FindOwnWindow(Registry& registry, WindowHandle window) {
  auto it = registry.windows.find(IdOf(window));
  if (it == registry.windows.end()) {
    SetLastError(kErrorInvalidWindowHandle);
    return nullptr;
  }
  if (!OwnedByCallingThread(it->second)) {
    SetLastError(kErrorAccessDenied);
    return nullptr;
  }
  return &it->second;
}

std::chrono::milliseconds TimerPeriod(uint32_t elapseMs) {
  return std::chrono::milliseconds(std::clamp(elapseMs, kMinimumTimerMs, kMaximumTimerMs));
}

Timer* FindTimer(ThreadQueue& queue, WindowHandle window, uintptr_t id) {
  for (Timer& timer : queue.timers) {
    if (timer.window == window && timer.id == id) return &timer;
  }
  return nullptr;
}

bool RemoveTimer(ThreadQueue& queue, WindowHandle window, uintptr_t id) {
  return std::erase_if(queue.timers, [&](const Timer& t) { return t.window == window && t.id == id; }) > 0;
}

}  // namespace

WindowHandle CreateMessageWindow(const std::wstring& className, WindowProc proc) {
  std::shared_ptr<ThreadQueue> owner = CurrentQueue();
  const std::wstring key = FoldCase(className);
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto windowClass = registry.classes.find(key);
  if (windowClass == registry.classes.end()) {
    if (className.empty() || proc == nullptr) {
      SetLastError(kErrorInvalidParameter);
      return nullptr;
    }
    windowClass = registry.classes.emplace(key, proc).first;
  }
  const uintptr_t id = registry.nextWindowId++;
  registry.windows.emplace(id, WindowRecord{std::move(owner), windowClass->second, nullptr, false});
  return HandleOf(id);
}

bool DestroyWindow(WindowHandle window) {
  Registry& registry = TheRegistry();
  WindowProc proc = nullptr;
  {
    std::lock_guard<std::mutex> guard(registry.lock);
    WindowRecord* record = FindOwnWindow(registry, window);
    if (record == nullptr) return false;
    if (record->destroying) return true;  // called again from its own kMsgDestroy
    record->destroying = true;
    proc = record->proc;
  }
  proc(window, kMsgDestroy, 0, 0);

  std::shared_ptr<ThreadQueue> owner;
  {
    std::lock_guard<std::mutex> guard(registry.lock);
    auto it = registry.windows.find(IdOf(window));
    if (it == registry.windows.end()) return true;
    owner = std::move(it->second.owner);
    registry.windows.erase(it);
  }
  std::lock_guard<std::mutex> guard(owner->lock);
  std::erase_if(owner->posted, [window](const Message& m) { return m.window == window; });
  std::erase_if(owner->timers, [window](const Timer& t) { return t.window == window; });
  return true;
}

bool IsWindow(WindowHandle window) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  return registry.windows.count(IdOf(window)) != 0;
}

void SetWindowUserData(WindowHandle window, void* data) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.windows.find(IdOf(window));
  if (it == registry.windows.end()) {
    SetLastError(kErrorInvalidWindowHandle);
    return;
  }
  it->second.userData = data;
}

void* GetWindowUserData(WindowHandle window) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.windows.find(IdOf(window));
  if (it == registry.windows.end()) {
    SetLastError(kErrorInvalidWindowHandle);
    return nullptr;
  }
  return it->second.userData;
}

intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t, intptr_t) {
  if (message == kMsgClose) DestroyWindow(window);
  return 0;
}

uint32_t RegisterMessage(const std::wstring& name) {
  if (name.empty()) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  const std::wstring key = FoldCase(name);
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.messages.find(key);
  if (it != registry.messages.end()) return it->second;
  if (registry.nextMessage > kLastRegisteredMessage) {
    SetLastError(kErrorNotEnoughMemory);
    return 0;
  }
  const uint32_t id = registry.nextMessage++;
  registry.messages.emplace(key, id);
  return id;
}

bool PostMessageToWindow(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  auto it = registry.windows.find(IdOf(window));
  if (it == registry.windows.end()) {
    SetLastError(kErrorInvalidWindowHandle);
    return false;
  }
  ThreadQueue& queue = *it->second.owner;
  {
    std::lock_guard<std::mutex> queueGuard(queue.lock);
    queue.posted.push_back(Message{window, message, wParam, lParam});
  }
  queue.wake.notify_one();
  return true;
}

intptr_t SendMessageToWindow(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  WindowProc proc = nullptr;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    const WindowRecord* record = FindOwnWindow(registry, window);
    if (record == nullptr) return 0;
    proc = record->proc;
  }
  return proc(window, message, wParam, lParam);
}

uintptr_t SetWindowTimer(WindowHandle window, uintptr_t timerId, uint32_t elapseMs) {
  if (timerId == 0) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (FindOwnWindow(registry, window) == nullptr) return 0;
  }
  // Only this thread can destroy the window, so it still exists here.
  ThreadQueue& queue = *CurrentQueue();
  std::lock_guard<std::mutex> guard(queue.lock);
  const auto period = TimerPeriod(elapseMs);
  const auto due = Clock::now() + period;
  if (Timer* timer = FindTimer(queue, window, timerId)) {
    timer->period = period;
    timer->due = due;
  } else {
    queue.timers.push_back(Timer{window, timerId, nullptr, period, due});
  }
  return timerId;
}

bool KillWindowTimer(WindowHandle window, uintptr_t timerId) {
  if (tQueue.queue) {
    std::lock_guard<std::mutex> guard(tQueue.queue->lock);
    if (window != nullptr && RemoveTimer(*tQueue.queue, window, timerId)) return true;
  }
  SetLastError(IsWindow(window) ? kErrorInvalidParameter : kErrorInvalidWindowHandle);
  return false;
}

uintptr_t SetThreadTimer(uint32_t elapseMs, TimerProc proc) {
  if (proc == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  const uintptr_t id = gNextThreadTimerId.fetch_add(1, std::memory_order_relaxed);
  ThreadQueue& queue = *CurrentQueue();
  std::lock_guard<std::mutex> guard(queue.lock);
  const auto period = TimerPeriod(elapseMs);
  queue.timers.push_back(Timer{nullptr, id, proc, period, Clock::now() + period});
  return id;
}

bool KillThreadTimer(uintptr_t timerId) {
  if (tQueue.queue) {
    std::lock_guard<std::mutex> guard(tQueue.queue->lock);
    if (RemoveTimer(*tQueue.queue, nullptr, timerId)) return true;
  }
  SetLastError(kErrorInvalidParameter);
  return false;
}

void PostQuit(int exitCode) {
  ThreadQueue& queue = *CurrentQueue();
  std::lock_guard<std::mutex> guard(queue.lock);
  queue.quitPending = true;
  queue.quitCode = exitCode;
}

bool GetNextMessage(Message* message) {
  ThreadQueue& queue = *CurrentQueue();
  std::unique_lock<std::mutex> guard(queue.lock);
  for (;;) {
    if (!queue.posted.empty()) {
      *message = queue.posted.front();
      queue.posted.pop_front();
      return true;
    }
    if (queue.quitPending) {
      queue.quitPending = false;
      *message = Message{nullptr, kMsgQuit, static_cast<uintptr_t>(static_cast<intptr_t>(queue.quitCode)), 0};
      return false;
    }
    Timer* next = nullptr;
    for (Timer& timer : queue.timers) {
      if (next == nullptr || timer.due < next->due) next = &timer;
    }
    const auto now = Clock::now();
    if (next != nullptr && next->due <= now) {
      // Re-armed from now: a loop that was busy for several periods gets one tick, not a burst.
      next->due = now + next->period;
      const intptr_t proc = next->window == nullptr ? reinterpret_cast<intptr_t>(next->proc) : 0;
      *message = Message{next->window, kMsgTimer, next->id, proc};
      return true;
    }
    if (next != nullptr) {
      const Clock::time_point due = next->due;
      queue.wake.wait_until(guard, due);
    } else {
      queue.wake.wait(guard);
    }
  }
}

void DispatchToWindow(const Message& message) {
  if (message.window == nullptr) {
    if (message.message != kMsgTimer || message.lParam == 0 || !tQueue.queue) return;
    // Call only a live thread timer of this thread, never an address taken from the message.
    TimerProc proc = nullptr;
    {
      std::lock_guard<std::mutex> guard(tQueue.queue->lock);
      const Timer* timer = FindTimer(*tQueue.queue, nullptr, message.wParam);
      if (timer != nullptr && reinterpret_cast<intptr_t>(timer->proc) == message.lParam) proc = timer->proc;
    }
    if (proc != nullptr) proc(nullptr, kMsgTimer, message.wParam, TickCount());
    return;
  }
  WindowProc proc = nullptr;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto it = registry.windows.find(IdOf(message.window));
    if (it == registry.windows.end() || !OwnedByCallingThread(it->second)) return;
    proc = it->second.proc;
  }
  proc(message.window, message.message, message.wParam, message.lParam);
}

}  // namespace platform
