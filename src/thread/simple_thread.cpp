#include "thread/simple_thread.h"

#include "logger/log.h"
#include "platform/ids.h"

CSimpleThread::~CSimpleThread() {
  CScopedLock guard(handleLock_);
  ReleaseHandle();
}

uint32_t CSimpleThread::GetThreadId() {
  CScopedLock guard(handleLock_);
  return threadId_;
}

void CSimpleThread::ReleaseHandle() {
  if (handle_ != nullptr) platform::CloseThreadHandle(handle_);
  handle_ = nullptr;
  threadId_ = 0;
}

bool CSimpleThread::Start() {
  // Held while the thread starts, so that a body that returns at once finds its handle stored.
  CScopedLock guard(handleLock_);
  if (handle_ != nullptr) {
    if (platform::IsThreadRunning(handle_)) return true;
    ReleaseHandle();
  }
  stopRequested_.store(false, std::memory_order_release);
  uint32_t id = 0;
  handle_ = platform::StartThread(&CSimpleThread::ThreadMain, this, &id);
  threadId_ = handle_ != nullptr ? id : 0;
  return handle_ != nullptr;
}

void CSimpleThread::ThreadMain(void* self) {
  auto* thread = static_cast<CSimpleThread*>(self);
  thread->Run();
  thread->MarkNotRunning();
}

void CSimpleThread::MarkNotRunning() {
  CScopedLock guard(handleLock_);
  // The id differs when a stopper took the handle over (it clears the id) or a newer Start
  // replaced it; then the handle is not this thread's to close.
  if (handle_ != nullptr && threadId_ == platform::CurrentThreadId()) ReleaseHandle();
  // Nothing of this object is touched after the lock is left: its owner may delete it then.
}

bool CSimpleThread::DestroyThread(uint32_t timeoutMs) {
  platform::ThreadHandle handle = nullptr;
  uint32_t threadId = 0;
  {
    CScopedLock guard(handleLock_);
    if (handle_ == nullptr) return true;
    if (!platform::IsThreadRunning(handle_)) {
      ReleaseHandle();
      return true;
    }
    stopRequested_.store(true, std::memory_order_release);
    // From here on this call owns the handle; the worker's end leaves it alone.
    handle = handle_;
    threadId = threadId_;
    handle_ = nullptr;
    threadId_ = 0;
  }
  OnStopRequested();
  if (threadId != platform::CurrentThreadId() && !platform::WaitThread(handle, timeoutMs)) {
    LOG_ERRO(L"CSimpleThread::DestroyThread线程结束超时 tid:%d ", static_cast<int>(threadId));
    platform::ForceEndThread(handle);
    // A forced end may complete after the call returns; the caller may free what the thread used.
    platform::WaitThread(handle, platform::kWaitInfinite);
  }
  platform::CloseThreadHandle(handle);
  return true;
}
