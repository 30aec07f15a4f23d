#pragma once
// Processes: start, wait, list, terminate, and the debug privilege. Process and thread ids are the
// system's. POSIX starts programs with posix_spawn, splitting the command line into words by the
// Windows rules (CommandLineToArgvW), and lists processes from /proc.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using ProcessHandle = struct ProcessObject*;  // nullptr: none

// CreateProcessW(application or, when empty, none; commandLine) without inherited handles or
// flags, in the current environment and directory. Returns the process handle (nullptr with the
// Win32 error in LastError() when it could not start); `processId`/`threadId` may be null.
// POSIX: the program is `application` mapped through the drive table, or the command line's first
// word when `application` is empty; the child gets the words of the command line as its arguments.
ProcessHandle StartProcess(const std::wstring& application, const std::wstring& commandLine,
                           uint32_t* processId, uint32_t* threadId);

// A running process opened to wait for it and to terminate it; nullptr when it cannot be opened.
ProcessHandle OpenProcessById(uint32_t processId);

// Waits up to `timeoutMs` (kProcessWaitInfinite for no limit). True when the process has ended;
// then `exitCode` (may be null) receives its exit code.
constexpr uint32_t kProcessWaitInfinite = 0xFFFFFFFFu;
bool WaitProcess(ProcessHandle process, uint32_t timeoutMs, uint32_t* exitCode);

// Ends the process at once; it reports `exitCode`.
bool TerminateProcess(ProcessHandle process, uint32_t exitCode);

void CloseProcessHandle(ProcessHandle process);

struct RunningProcess {
  uint32_t id = 0;
  std::wstring exeName;    // the executable's file name, as the process snapshot gives it
  std::wstring imagePath;  // the main module's full path; empty when the process cannot be opened
                           // for query and memory read
};

// Every running process, the caller's own included.
bool ListProcesses(std::vector<RunningProcess>* processes);

// Enables SeDebugPrivilege in the own process token. False (with the error) when the token cannot
// be opened or adjusted; kErrorCallNotImplemented where the system has no tokens. POSIX: nothing to
// enable, true.
bool EnableDebugPrivilege();

}  // namespace platform
