#pragma once
// A worker thread that can be asked to stop. Derived classes implement Run(), poll
// IsStopRequested() and return when it is set; a worker that does not stop within the timeout
// given to DestroyThread is ended by force (Windows) or waited for (elsewhere: there is no safe
// way to end a thread from outside, so workers poll the flag at least every 100 ms).
#include <atomic>
#include <cstdint>

#include "platform/thread.h"
#include "thread/critical_lock.h"

class CSimpleThread {
 public:
  CSimpleThread() = default;
  CSimpleThread(const CSimpleThread&) = delete;
  CSimpleThread& operator=(const CSimpleThread&) = delete;

  // Asks the thread to stop and waits up to `timeoutMs` (platform::kWaitInfinite: no limit) for
  // it; called from the thread itself it does not wait. Always true.
  virtual bool DestroyThread(uint32_t timeoutMs);
  // Starts the thread unless it is already running (then true). False when it cannot be created.
  virtual bool Start();
  // The thread body.
  virtual void Run() = 0;

  // Derived classes stop their thread in their own destructor (Run is theirs); this one only
  // releases a handle left behind.
  virtual ~CSimpleThread();

  bool IsStopRequested() const { return stopRequested_.load(std::memory_order_acquire); }

 protected:
  // Called by DestroyThread right after the stop flag is set, on the stopping thread, so that a
  // body blocked in a wait can be woken to see it.
  virtual void OnStopRequested() {}

 public:
  // The running thread's id; 0 when idle.
  uint32_t GetThreadId();

 private:
  static void ThreadMain(void* self);
  // Runs on the worker after Run() returns.
  void MarkNotRunning();
  // Caller holds handleLock_.
  void ReleaseHandle();

  // Guards handle_ and threadId_. The worker's end and DestroyThread race for the handle: whoever
  // takes it out under this lock closes it, so it is closed once and never waited on closed.
  CCriticalLock handleLock_;
  platform::ThreadHandle handle_ = nullptr;
  uint32_t threadId_ = 0;
  // Only goes from false to true while the thread runs; read by the worker without the lock.
  std::atomic<bool> stopRequested_{false};
};
