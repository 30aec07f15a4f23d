#include "platform/message_loop.h"

#include <windows.h>

#include <mutex>
#include <unordered_map>

namespace platform {

namespace {

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle FromHwnd(HWND hwnd) { return reinterpret_cast<WindowHandle>(hwnd); }

// Each window keeps its procedure in its extra bytes; the class procedure below forwards to it,
// so the procedure keeps its own portable signature.
constexpr int kProcSlot = 0;

LRESULT CALLBACK ForwardToWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (create->lpCreateParams != nullptr) {
      const WindowProc proc = *static_cast<const WindowProc*>(create->lpCreateParams);
      ::SetWindowLongPtrW(hwnd, kProcSlot, reinterpret_cast<LONG_PTR>(proc));
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
  const auto proc = reinterpret_cast<WindowProc>(::GetWindowLongPtrW(hwnd, kProcSlot));
  if (proc == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return proc(FromHwnd(hwnd), message, wParam, lParam);
}

// The procedure each class was registered with, by class name folded to lower case.
struct ClassTable {
  std::mutex lock;
  std::unordered_map<std::wstring, WindowProc> procs;
};

ClassTable& Classes() {
  static ClassTable* table = new ClassTable;
  return *table;
}

std::wstring FoldCase(const std::wstring& name) {
  std::wstring folded = name;
  for (wchar_t& c : folded) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return folded;
}

// The class's procedure, registering the class first if needed; nullptr on failure.
WindowProc ClassProc(const std::wstring& className, WindowProc proc) {
  ClassTable& table = Classes();
  std::lock_guard<std::mutex> guard(table.lock);
  const std::wstring key = FoldCase(className);
  auto it = table.procs.find(key);
  if (it != table.procs.end()) return it->second;
  if (proc == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = ForwardToWindowProc;
  windowClass.cbWndExtra = sizeof(LONG_PTR);
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className.c_str();
  if (::RegisterClassExW(&windowClass) == 0) return nullptr;
  table.procs.emplace(key, proc);
  return proc;
}

// Thread timers call one procedure of ours, which finds the caller's callback by timer id.
thread_local std::unordered_map<UINT_PTR, TimerProc> tThreadTimers;

VOID CALLBACK ForwardToThreadTimerProc(HWND, UINT, UINT_PTR timerId, DWORD tick) {
  auto it = tThreadTimers.find(timerId);
  if (it == tThreadTimers.end()) return;
  const TimerProc proc = it->second;
  proc(nullptr, kMsgTimer, timerId, tick);
}

// The message GetNextMessage read last, so that DispatchToWindow hands on its time and position.
thread_local MSG tLastMessage{};

}  // namespace

WindowHandle CreateMessageWindow(const std::wstring& className, WindowProc proc) {
  WindowProc classProc = ClassProc(className, proc);
  if (classProc == nullptr) return nullptr;
  HWND hwnd = ::CreateWindowExW(0, className.c_str(), L"", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), &classProc);
  return FromHwnd(hwnd);
}

bool DestroyWindow(WindowHandle window) { return ::DestroyWindow(ToHwnd(window)) != 0; }

bool IsWindow(WindowHandle window) { return ::IsWindow(ToHwnd(window)) != 0; }

void SetWindowUserData(WindowHandle window, void* data) {
  ::SetWindowLongPtrW(ToHwnd(window), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
}

void* GetWindowUserData(WindowHandle window) {
  return reinterpret_cast<void*>(::GetWindowLongPtrW(ToHwnd(window), GWLP_USERDATA));
}

intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ::DefWindowProcW(ToHwnd(window), message, wParam, lParam);
}

uint32_t RegisterMessage(const std::wstring& name) { return ::RegisterWindowMessageW(name.c_str()); }

bool PostMessageToWindow(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ::PostMessageW(ToHwnd(window), message, wParam, lParam) != 0;
}

intptr_t SendMessageToWindow(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ::SendMessageW(ToHwnd(window), message, wParam, lParam);
}

uintptr_t SetWindowTimer(WindowHandle window, uintptr_t timerId, uint32_t elapseMs) {
  // Without a window SetTimer would make a thread timer instead.
  if (window == nullptr) {
    ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (timerId == 0) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return ::SetTimer(ToHwnd(window), timerId, elapseMs, nullptr) != 0 ? timerId : 0;
}

bool KillWindowTimer(WindowHandle window, uintptr_t timerId) {
  if (window == nullptr) {
    ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return ::KillTimer(ToHwnd(window), timerId) != 0;
}

uintptr_t SetThreadTimer(uint32_t elapseMs, TimerProc proc) {
  if (proc == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const UINT_PTR id = ::SetTimer(nullptr, 0, elapseMs, ForwardToThreadTimerProc);
  if (id != 0) tThreadTimers[id] = proc;
  return id;
}

bool KillThreadTimer(uintptr_t timerId) {
  tThreadTimers.erase(timerId);
  return ::KillTimer(nullptr, timerId) != 0;
}

void PostQuit(int exitCode) { ::PostQuitMessage(exitCode); }

bool GetNextMessage(Message* message) {
  MSG msg{};
  const BOOL result = ::GetMessageW(&msg, nullptr, 0, 0);
  if (result == -1) {
    // The queue cannot be read (only with bad arguments): end the loop rather than spin.
    *message = Message{nullptr, kMsgQuit, static_cast<uintptr_t>(-1), 0};
    return false;
  }
  tLastMessage = msg;
  *message = Message{FromHwnd(msg.hwnd), msg.message, msg.wParam, msg.lParam};
  return result != 0;
}

void DispatchToWindow(const Message& message) {
  MSG msg = tLastMessage;
  if (msg.hwnd != ToHwnd(message.window) || msg.message != message.message || msg.wParam != message.wParam ||
      msg.lParam != message.lParam) {
    msg = MSG{};
    msg.hwnd = ToHwnd(message.window);
    msg.message = message.message;
    msg.wParam = message.wParam;
    msg.lParam = message.lParam;
    msg.time = ::GetTickCount();
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

}  // namespace platform
