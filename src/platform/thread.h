#pragma once
// Native threads: start, wait with a timeout, and the forced end after a stop timed out.
#include <cstdint>

namespace platform {

using ThreadHandle = struct ThreadObject*;  // nullptr: no thread
using ThreadProc = void (*)(void* argument);

constexpr uint32_t kWaitInfinite = 0xFFFFFFFFu;

// Starts `proc(argument)` on a new thread with the default stack size. Returns nullptr (and sets
// the last error) when the thread could not be created.
ThreadHandle StartThread(ThreadProc proc, void* argument, uint32_t* threadId);

// Waits up to `timeoutMs` (or kWaitInfinite) for the thread to end. True when it has ended.
bool WaitThread(ThreadHandle thread, uint32_t timeoutMs);

// Whether the thread is still running (its exit code reads as still active on Windows).
bool IsThreadRunning(ThreadHandle thread);

// Ends a thread that did not stop in time. Windows: TerminateThread with exit code 0. POSIX has no
// safe equivalent: this waits until the thread ends by itself.
void ForceEndThread(ThreadHandle thread);

// Releases the handle. The thread itself goes on if it is still running. Call exactly once.
void CloseThreadHandle(ThreadHandle thread);

}  // namespace platform
