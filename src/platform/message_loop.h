#pragma once
// The UI thread's message loop. On Windows these are the Win32 calls themselves (message-only
// windows, PostMessageW, SetTimer, GetMessageW/DispatchMessageW). On POSIX each thread that owns a
// window or a timer has a queue and a timer list with the same guarantees:
// - messages posted to a window are delivered by the loop of the thread that created the window,
//   in posting order, from any posting thread; posting wakes a waiting loop at once;
// - timers repeat every `elapse` ms until killed, are delivered only by the loop of the thread
//   that set them, only when no posted message is waiting, and never pile up (one pending tick);
// - a quit ends the loop with its exit code; it is seen once no posted message is waiting, so
//   every message posted before it is delivered first.
// Windows, their timers and the quit belong to the thread that created or set them: only that
// thread destroys the window, sets or kills its timers and sends to it.
#include <cstdint>
#include <string>

namespace platform {

using WindowHandle = struct WindowObject*;  // nullptr: none
using WindowProc = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Thread timer callback: (nullptr, kMsgTimer, timer id, tick count).
using TimerProc = void (*)(WindowHandle window, uint32_t message, uintptr_t timerId, uint32_t tick);

constexpr uint32_t kMsgNull = 0x0000;
constexpr uint32_t kMsgDestroy = 0x0002;
constexpr uint32_t kMsgClose = 0x0010;
constexpr uint32_t kMsgQuit = 0x0012;
constexpr uint32_t kMsgTimer = 0x0113;
constexpr uint32_t kMsgUser = 0x0400;
constexpr uint32_t kMsgApp = 0x8000;

// A message-only window of the class `className`, registered on first use with `proc`; later
// windows of the class keep that first procedure. Class names ignore ASCII case. A procedure hands
// the messages it does not handle to DefaultWindowProc (which destroys the window on kMsgClose).
// DestroyWindow calls the procedure with kMsgDestroy while the window still exists, then drops its
// timers and the messages not yet delivered to it.
WindowHandle CreateMessageWindow(const std::wstring& className, WindowProc proc);
bool DestroyWindow(WindowHandle window);
bool IsWindow(WindowHandle window);
void SetWindowUserData(WindowHandle window, void* data);
void* GetWindowUserData(WindowHandle window);
intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The same name (ASCII case ignored) gives the same id in the whole process (0xC000..0xFFFF);
// 0 on failure.
uint32_t RegisterMessage(const std::wstring& name);

// From any thread. False (kErrorInvalidWindowHandle) when the window does not exist.
bool PostMessageToWindow(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Calls the window's procedure on the calling thread (which must own the window).
intptr_t SendMessageToWindow(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Window timer: the window's procedure receives kMsgTimer with wParam = timerId (nonzero). Setting
// an existing id again replaces its period and starts it over. Periods below 10 ms count as 10 ms.
// Returns timerId, or 0 on failure.
uintptr_t SetWindowTimer(WindowHandle window, uintptr_t timerId, uint32_t elapseMs);
bool KillWindowTimer(WindowHandle window, uintptr_t timerId);
// Thread timer: `proc` runs on the calling thread's loop. Returns a new nonzero id, 0 on failure.
uintptr_t SetThreadTimer(uint32_t elapseMs, TimerProc proc);
bool KillThreadTimer(uintptr_t timerId);

// Asks the calling thread's loop to end with `exitCode`.
void PostQuit(int exitCode);

struct Message {
  WindowHandle window = nullptr;
  uint32_t message = kMsgNull;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};
// Waits for the next message of the calling thread. False when it is the quit message
// (then message.wParam holds the exit code).
bool GetNextMessage(Message* message);
// Hands a message to its window procedure (or a thread timer's callback); keyboard messages are
// translated first where the system has them. Messages for windows that are gone are dropped.
void DispatchToWindow(const Message& message);

// Runs the calling thread's loop until a quit; returns the quit's exit code.
int RunMessageLoop();

// A nested (modal) loop: dispatches messages until `ended` is true (checked on entry and after
// every dispatch). A quit seen inside ends it too and is posted again, so that the outer loop ends
// as well. Returns false when it ended by a quit.
bool RunModalLoop(const bool& ended);

}  // namespace platform
