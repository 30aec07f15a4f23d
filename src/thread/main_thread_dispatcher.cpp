#include "thread/main_thread_dispatcher.h"

#include <deque>
#include <utility>

#include "thread/critical_lock.h"
#include "thread/high_res_time.h"
#include "thread/main_thread_task.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ThreadingWindowClass";
constexpr wchar_t kFiredMessageName[] = L"com.dodazavavi.MainThreadFired";
// Longest a pass runs tasks before it lets the loop handle other messages.
constexpr double kPassBudgetSeconds = 0.05;

using TaskQueue = std::deque<CRefPtr<MainThreadTaskBase>>;

struct Dispatcher {
  CCriticalLock lock;
  // Guarded by the lock.
  TaskQueue queue;
  platform::WindowHandle window = nullptr;
  uint32_t firedMessage = 0;
  // UI thread only.
  double (*clock)() = nullptr;
  double lastReading = 0;
};

// Never destroyed: a worker may still post while the process exits.
Dispatcher& TheDispatcher() {
  static Dispatcher* const dispatcher = new Dispatcher;
  return *dispatcher;
}

// The budget clock, never going back behind what it read before.
double ReadClock(Dispatcher& d) {
  const double now = d.clock != nullptr ? d.clock() : GetHighResTime();
  if (now > d.lastReading) d.lastReading = now;
  return d.lastReading;
}

void PostFired(platform::WindowHandle window, uint32_t message) {
  // Without a window (none yet, or gone) the tasks stay queued; a failed post is ignored.
  if (window != nullptr) platform::PostMessageToWindow(window, message, 0, 0);
}

void RunQueuedTasks(Dispatcher& d) {
  const double start = ReadClock(d);
  for (;;) {
    CRefPtr<MainThreadTaskBase> task;
    platform::WindowHandle window;
    uint32_t message;
    {
      CScopedLock guard(d.lock);
      if (d.queue.empty()) return;
      task = std::move(d.queue.front());
      d.queue.pop_front();
      window = d.window;
      message = d.firedMessage;
    }
    // Unlocked: the task may post further tasks.
    task->Run();
    if (ReadClock(d) - start > kPassBudgetSeconds) {
      PostFired(window, message);
      return;
    }
  }
}

intptr_t DispatcherWindowProc(platform::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Dispatcher& d = TheDispatcher();
  uint32_t fired;
  {
    CScopedLock guard(d.lock);
    fired = d.firedMessage;
  }
  if (fired != 0 && message == fired) {
    RunQueuedTasks(d);
    return 0;
  }
  return platform::DefaultWindowProc(window, message, wParam, lParam);
}

}  // namespace

void InitMainThreadDispatcher() {
  Dispatcher& d = TheDispatcher();
  {
    CScopedLock guard(d.lock);
    if (d.window != nullptr) return;
  }
  platform::WindowHandle window = platform::CreateMessageWindow(kWindowClass, DispatcherWindowProc);
  const uint32_t fired = platform::RegisterMessage(kFiredMessageName);
  TaskQueue leftover;
  {
    CScopedLock guard(d.lock);
    leftover.swap(d.queue);
    d.window = window;
    d.firedMessage = fired;
  }
  // Dropped here, not under the lock: a task's destructor may post.
}

void PostMainThreadTask(const CRefPtr<MainThreadTaskBase>& task) {
  if (task == nullptr) return;
  Dispatcher& d = TheDispatcher();
  bool wasEmpty;
  platform::WindowHandle window;
  uint32_t message;
  {
    CScopedLock guard(d.lock);
    wasEmpty = d.queue.empty();
    d.queue.push_back(task);
    window = d.window;
    message = d.firedMessage;
  }
  // A queue that already held tasks has a message pending or is being run.
  if (wasEmpty) PostFired(window, message);
}

void UninitMainThreadDispatcher() {
  Dispatcher& d = TheDispatcher();
  TaskQueue dropped;
  platform::WindowHandle window;
  {
    CScopedLock guard(d.lock);
    dropped.swap(d.queue);
    window = std::exchange(d.window, nullptr);
    d.firedMessage = 0;
  }
  // Dropped outside the lock: a task's destructor may take other locks or post.
  dropped.clear();
  if (window != nullptr) platform::DestroyWindow(window);
}

platform::WindowHandle MainThreadDispatcherWindow() {
  Dispatcher& d = TheDispatcher();
  CScopedLock guard(d.lock);
  return d.window;
}

uint32_t MainThreadFiredMessage() {
  Dispatcher& d = TheDispatcher();
  CScopedLock guard(d.lock);
  return d.firedMessage;
}

void SetMainThreadDispatcherClock(double (*clock)()) {
  Dispatcher& d = TheDispatcher();
  d.clock = clock;
  d.lastReading = 0;
}
