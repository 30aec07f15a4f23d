#include "platform/process.h"

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/codepage.h"
#include "platform/errno_posix.h"
#include "platform/error.h"
#include "platform/native_path_posix.h"

extern char** environ;

namespace platform {

namespace {

// A child started here: a reaper thread collects its status, so it never lingers as a zombie, and
// records the exit code for the waits.
struct ChildState {
  std::mutex lock;
  std::condition_variable ended;
  bool hasEnded = false;
  uint32_t exitCode = 0;
  bool terminated = false;  // TerminateProcess asked for terminationCode
  uint32_t terminationCode = 0;
};

std::mutex gChildrenLock;
std::map<pid_t, std::shared_ptr<ChildState>> gChildren;  // children not yet reaped

void ReapChild(pid_t pid, std::shared_ptr<ChildState> state) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  {
    std::lock_guard<std::mutex> guard(gChildrenLock);
    gChildren.erase(pid);
  }
  std::lock_guard<std::mutex> guard(state->lock);
  if (state->terminated) {
    state->exitCode = state->terminationCode;
  } else if (WIFEXITED(status)) {
    state->exitCode = static_cast<uint32_t>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    state->exitCode = 128u + static_cast<uint32_t>(WTERMSIG(status));
  }
  state->hasEnded = true;
  state->ended.notify_all();
}

// The words of a command line by the rules of CommandLineToArgvW: the program name ends at white
// space unless quoted and takes no escapes; later words follow the backslash and quote rules,
// where 2n backslashes before a quote give n and the quote opens or closes quoting, 2n+1 give n
// and a literal quote, and three quotes in a row give a literal one.
std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
  std::vector<std::wstring> words;
  size_t i = 0;
  const size_t n = line.size();
  auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  if (n == 0) return words;
  std::wstring program;
  if (line[0] == L'"') {
    for (i = 1; i < n && line[i] != L'"'; ++i) program += line[i];
    if (i < n) ++i;
  } else {
    for (; i < n && !isBlank(line[i]); ++i) program += line[i];
  }
  words.push_back(program);
  while (i < n && isBlank(line[i])) ++i;
  if (i >= n) return words;

  std::wstring word;
  int quotes = 0;
  size_t backslashes = 0;
  while (i < n) {
    const wchar_t c = line[i];
    if (isBlank(c) && quotes == 0) {
      words.push_back(word);
      word.clear();
      backslashes = 0;
      while (i < n && isBlank(line[i])) ++i;
      if (i >= n) return words;
      continue;
    }
    if (c == L'\\') {
      word += c;
      ++backslashes;
      ++i;
      continue;
    }
    if (c == L'"') {
      word.resize(word.size() - backslashes / 2);
      if (backslashes % 2 == 0) {
        ++quotes;
      } else {
        word.back() = L'"';
      }
      ++i;
      backslashes = 0;
      while (i < n && line[i] == L'"') {
        if (++quotes == 3) {
          word += L'"';
          quotes = 0;
        }
        ++i;
      }
      if (quotes == 2) quotes = 0;
      continue;
    }
    word += c;
    backslashes = 0;
    ++i;
  }
  words.push_back(word);
  return words;
}

bool HasDirectory(const std::wstring& path) {
  return path.find_first_of(L"\\/:") != std::wstring::npos;
}

std::string ReadFirstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The state letter of /proc/<pid>/stat (after the parenthesised name); 0 when unreadable.
char ProcessState(pid_t pid) {
  const std::string stat = ReadFirstLine("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return 0;
  return stat[close + 2];
}

bool IsAlive(pid_t pid) {
  if (kill(pid, 0) != 0 && errno != EPERM) return false;
  const char state = ProcessState(pid);
  return state != 0 && state != 'Z' && state != 'X';
}

bool ReadLink(const std::string& link, std::string* target) {
  char buffer[4096];
  const ssize_t n = readlink(link.c_str(), buffer, sizeof(buffer) - 1);
  if (n <= 0) return false;
  target->assign(buffer, static_cast<size_t>(n));
  const std::string deleted = " (deleted)";
  if (target->size() > deleted.size() &&
      target->compare(target->size() - deleted.size(), deleted.size(), deleted) == 0) {
    target->resize(target->size() - deleted.size());
  }
  return true;
}

}  // namespace

struct ProcessObject {
  pid_t pid = 0;
  std::shared_ptr<ChildState> child;  // null for a process this one did not start
};

ProcessHandle StartProcess(const std::wstring& application, const std::wstring& commandLine,
                           uint32_t* processId, uint32_t* threadId) {
  std::vector<std::wstring> words = SplitCommandLine(commandLine);
  const std::wstring program = application.empty() ? (words.empty() ? L"" : words[0]) : application;
  if (program.empty()) {
    posix::FailWith(kErrorInvalidParameter);
    return nullptr;
  }
  if (words.empty()) words.push_back(program);

  std::string nativeProgram;
  if (HasDirectory(program)) {
    if (!posix::ToNativePath(program, &nativeProgram)) return nullptr;
  } else {
    nativeProgram = WideToMultiByte(CodePage::Utf8, program);
  }
  std::vector<std::string> arguments;
  for (const auto& word : words) arguments.push_back(WideToMultiByte(CodePage::Utf8, word));
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  auto state = std::make_shared<ChildState>();
  pid_t pid = 0;
  int error = 0;
  {
    // Registered before the reaper can run, so that OpenProcessById finds the child at once.
    std::lock_guard<std::mutex> guard(gChildrenLock);
    error = HasDirectory(program)
                ? posix_spawn(&pid, nativeProgram.c_str(), nullptr, nullptr, argv.data(), environ)
                : posix_spawnp(&pid, nativeProgram.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error == 0) gChildren[pid] = state;
  }
  if (error != 0) {
    posix::FailWith(posix::Win32ErrorFromErrno(error));
    return nullptr;
  }
  std::thread(ReapChild, pid, state).detach();
  if (processId != nullptr) *processId = static_cast<uint32_t>(pid);
  if (threadId != nullptr) *threadId = static_cast<uint32_t>(pid);  // the main thread's id is the pid
  return new ProcessObject{pid, state};
}

ProcessHandle OpenProcessById(uint32_t processId) {
  const auto pid = static_cast<pid_t>(processId);
  if (pid <= 0) {
    posix::FailWith(kErrorInvalidParameter);
    return nullptr;
  }
  std::shared_ptr<ChildState> child;
  {
    std::lock_guard<std::mutex> guard(gChildrenLock);
    const auto found = gChildren.find(pid);
    if (found != gChildren.end()) child = found->second;
  }
  if (child == nullptr && !IsAlive(pid)) {
    posix::FailWith(kErrorInvalidParameter);  // what OpenProcess says of an unknown id
    return nullptr;
  }
  return new ProcessObject{pid, child};
}

bool WaitProcess(ProcessHandle process, uint32_t timeoutMs, uint32_t* exitCode) {
  if (process == nullptr) return posix::FailWith(kErrorInvalidHandle);
  if (process->child != nullptr) {
    ChildState& state = *process->child;
    std::unique_lock<std::mutex> guard(state.lock);
    if (timeoutMs == kProcessWaitInfinite) {
      state.ended.wait(guard, [&] { return state.hasEnded; });
    } else if (!state.ended.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                     [&] { return state.hasEnded; })) {
      return posix::FailWith(kErrorTimeout);
    }
    if (exitCode != nullptr) *exitCode = state.exitCode;
    return true;
  }
  // Not a child: its status cannot be collected, only its end observed.
  const auto start = std::chrono::steady_clock::now();
  while (IsAlive(process->pid)) {
    if (timeoutMs != kProcessWaitInfinite &&
        std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(timeoutMs)) {
      return posix::FailWith(kErrorTimeout);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (exitCode != nullptr) *exitCode = 0;
  return true;
}

bool TerminateProcess(ProcessHandle process, uint32_t exitCode) {
  if (process == nullptr) return posix::FailWith(kErrorInvalidHandle);
  if (process->child != nullptr) {
    std::lock_guard<std::mutex> guard(process->child->lock);
    if (process->child->hasEnded) return posix::FailWith(kErrorAccessDenied);  // as Windows says
    process->child->terminated = true;
    process->child->terminationCode = exitCode;
    // Still unreaped (hasEnded is set under this lock), so the pid is still this child's.
    if (kill(process->pid, SIGKILL) != 0) return posix::FailWithErrno();
    return true;
  }
  if (kill(process->pid, SIGKILL) != 0) return posix::FailWithErrno();
  return true;
}

void CloseProcessHandle(ProcessHandle process) { delete process; }

bool ListProcesses(std::vector<RunningProcess>* processes) {
  processes->clear();
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return posix::FailWithErrno();
  while (const dirent* entry = readdir(proc)) {
    char* end = nullptr;
    const long pid = strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != 0 || pid <= 0) continue;
    const char state = ProcessState(static_cast<pid_t>(pid));
    if (state == 0 || state == 'Z' || state == 'X') continue;  // gone, or ended and not yet reaped
    const std::string dir = "/proc/" + std::string(entry->d_name);
    RunningProcess process;
    process.id = static_cast<uint32_t>(pid);
    std::string image;
    if (ReadLink(dir + "/exe", &image)) {
      process.imagePath = posix::FromNativePath(image);
      const size_t slash = image.rfind('/');
      process.exeName = MultiByteToWide(CodePage::Utf8, image.substr(slash + 1));
    } else {
      process.exeName = MultiByteToWide(CodePage::Utf8, ReadFirstLine(dir + "/comm"));
    }
    processes->push_back(std::move(process));
  }
  closedir(proc);
  return true;
}

bool EnableDebugPrivilege() { return true; }

}  // namespace platform
