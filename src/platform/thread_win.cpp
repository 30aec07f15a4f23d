#include "platform/thread.h"

#include <windows.h>
#include <process.h>

namespace platform {

namespace {

struct StartArgs {
  ThreadProc proc;
  void* argument;
};

unsigned __stdcall ThreadMain(void* raw) {
  StartArgs args = *static_cast<StartArgs*>(raw);
  delete static_cast<StartArgs*>(raw);
  args.proc(args.argument);
  return 0;
}

HANDLE ToWin(ThreadHandle thread) { return reinterpret_cast<HANDLE>(thread); }

}  // namespace

ThreadHandle StartThread(ThreadProc proc, void* argument, uint32_t* threadId) {
  auto* args = new StartArgs{proc, argument};
  unsigned id = 0;
  const uintptr_t handle = _beginthreadex(nullptr, 0, ThreadMain, args, 0, &id);
  if (handle == 0) {
    delete args;
    return nullptr;
  }
  if (threadId != nullptr) *threadId = id;
  return reinterpret_cast<ThreadHandle>(handle);
}

bool WaitThread(ThreadHandle thread, uint32_t timeoutMs) {
  if (thread == nullptr) return true;
  return ::WaitForSingleObject(ToWin(thread), timeoutMs) == WAIT_OBJECT_0;
}

bool IsThreadRunning(ThreadHandle thread) {
  DWORD code = 0;
  return thread != nullptr && ::GetExitCodeThread(ToWin(thread), &code) && code == STILL_ACTIVE;
}

void ForceEndThread(ThreadHandle thread) {
  if (thread != nullptr) ::TerminateThread(ToWin(thread), 0);
}

void CloseThreadHandle(ThreadHandle thread) {
  if (thread != nullptr) ::CloseHandle(ToWin(thread));
}

}  // namespace platform
