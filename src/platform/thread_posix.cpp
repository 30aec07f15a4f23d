#include "platform/thread.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/errno_posix.h"
#include "platform/ids.h"

namespace platform {

// Shared by the handle and the running thread; the last of the two to let go deletes it.
struct ThreadObject {
  ThreadProc proc = nullptr;
  void* argument = nullptr;
  pthread_t thread{};
  std::mutex lock;
  std::condition_variable changed;  // the id became known, or the thread ended
  uint32_t threadId = 0;
  bool done = false;
  std::atomic<int> owners{2};

  void Release() {
    if (owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
};

namespace {

void* ThreadMain(void* raw) {
  auto* object = static_cast<ThreadObject*>(raw);
  {
    std::lock_guard<std::mutex> guard(object->lock);
    object->threadId = CurrentThreadId();
  }
  object->changed.notify_all();
  object->proc(object->argument);
  {
    std::lock_guard<std::mutex> guard(object->lock);
    object->done = true;
  }
  object->changed.notify_all();
  object->Release();
  return nullptr;
}

}  // namespace

ThreadHandle StartThread(ThreadProc proc, void* argument, uint32_t* threadId) {
  auto* object = new ThreadObject;
  object->proc = proc;
  object->argument = argument;
  const int rc = pthread_create(&object->thread, nullptr, ThreadMain, object);
  if (rc != 0) {
    delete object;
    errno = rc;
    posix::FailWithErrno();
    return nullptr;
  }
  if (threadId != nullptr) {
    // Only the new thread can read its own id.
    std::unique_lock<std::mutex> guard(object->lock);
    object->changed.wait(guard, [object] { return object->threadId != 0; });
    *threadId = object->threadId;
  }
  return object;
}

bool WaitThread(ThreadHandle thread, uint32_t timeoutMs) {
  if (thread == nullptr) return true;
  std::unique_lock<std::mutex> guard(thread->lock);
  if (timeoutMs == kWaitInfinite) {
    thread->changed.wait(guard, [thread] { return thread->done; });
    return true;
  }
  return thread->changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [thread] { return thread->done; });
}

bool IsThreadRunning(ThreadHandle thread) {
  if (thread == nullptr) return false;
  std::lock_guard<std::mutex> guard(thread->lock);
  return !thread->done;
}

void ForceEndThread(ThreadHandle thread) { WaitThread(thread, kWaitInfinite); }

void CloseThreadHandle(ThreadHandle thread) {
  if (thread == nullptr) return;
  bool done;
  {
    std::lock_guard<std::mutex> guard(thread->lock);
    done = thread->done;
  }
  if (done) {
    pthread_join(thread->thread, nullptr);
  } else {
    pthread_detach(thread->thread);
  }
  thread->Release();
}

}  // namespace platform
