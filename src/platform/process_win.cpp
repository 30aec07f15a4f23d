#include "platform/process.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

namespace platform {

namespace {

HANDLE ToHandle(ProcessHandle process) { return reinterpret_cast<HANDLE>(process); }
ProcessHandle FromHandle(HANDLE handle) { return reinterpret_cast<ProcessHandle>(handle); }

std::wstring MainModulePath(DWORD processId) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (process == nullptr) return {};
  std::wstring path(MAX_PATH, L'\0');
  const DWORD n = ::GetModuleFileNameExW(process, nullptr, path.data(), static_cast<DWORD>(path.size()));
  ::CloseHandle(process);
  path.resize(n);
  return path;
}

}  // namespace

ProcessHandle StartProcess(const std::wstring& application, const std::wstring& commandLine,
                           uint32_t* processId, uint32_t* threadId) {
  // CreateProcessW may write into the command line, so it gets its own copy.
  std::wstring mutableCommandLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  const BOOL started = ::CreateProcessW(application.empty() ? nullptr : application.c_str(),
                                        mutableCommandLine.empty() ? nullptr : mutableCommandLine.data(),
                                        nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
  if (!started) return nullptr;
  ::CloseHandle(info.hThread);
  if (processId != nullptr) *processId = info.dwProcessId;
  if (threadId != nullptr) *threadId = info.dwThreadId;
  return FromHandle(info.hProcess);
}

ProcessHandle OpenProcessById(uint32_t processId) {
  return FromHandle(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION,
                                  FALSE, processId));
}

bool WaitProcess(ProcessHandle process, uint32_t timeoutMs, uint32_t* exitCode) {
  const DWORD wait = ::WaitForSingleObject(ToHandle(process), timeoutMs);
  if (wait == WAIT_TIMEOUT) {
    ::SetLastError(ERROR_TIMEOUT);
    return false;
  }
  if (wait != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  if (exitCode != nullptr) {
    if (!::GetExitCodeProcess(ToHandle(process), &code)) return false;
    *exitCode = code;
  }
  return true;
}

bool TerminateProcess(ProcessHandle process, uint32_t exitCode) {
  return ::TerminateProcess(ToHandle(process), exitCode) != 0;
}

void CloseProcessHandle(ProcessHandle process) {
  if (process != nullptr) ::CloseHandle(ToHandle(process));
}

bool ListProcesses(std::vector<RunningProcess>* processes) {
  processes->clear();
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    RunningProcess process;
    process.id = entry.th32ProcessID;
    process.exeName = entry.szExeFile;
    process.imagePath = MainModulePath(entry.th32ProcessID);
    processes->push_back(std::move(process));
  }
  ::CloseHandle(snapshot);
  return true;
}

bool EnableDebugPrivilege() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool ok = ::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid) &&
            ::AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
  // AdjustTokenPrivileges succeeds without granting a privilege the account does not hold.
  if (ok && ::GetLastError() == ERROR_NOT_ALL_ASSIGNED) ok = false;
  const DWORD error = ::GetLastError();
  ::CloseHandle(token);
  ::SetLastError(error);
  return ok;
}

}  // namespace platform
