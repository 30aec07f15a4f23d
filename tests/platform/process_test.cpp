#include "platform/process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "support/file_test_support.h"
#include "platform/ids.h"
#include "platform/path.h"
#include "test_child_location.h"

namespace {

std::wstring Lower(std::wstring text) {
  for (auto& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

const platform::RunningProcess* FindById(const std::vector<platform::RunningProcess>& list, uint32_t id) {
  for (const auto& process : list) {
    if (process.id == id) return &process;
  }
  return nullptr;
}

// Starts the child with `arguments`, waits for it and returns its exit code (or a text of failure).
std::string RunToEnd(const std::wstring& arguments, uint32_t* exitCode) {
  const std::wstring child = test_child::Path();
  platform::ProcessHandle process = platform::StartProcess(child, Quoted(child) + L" " + arguments, nullptr, nullptr);
  if (process == nullptr) return "start failed, error " + std::to_string(platform::LastError());
  const bool ended = platform::WaitProcess(process, 20000, exitCode);
  platform::CloseProcessHandle(process);
  return ended ? "" : "did not end";
}

}  // namespace

TEST(Process, ExitCodeReachesTheWaiter) {
  for (uint32_t code : {0u, 7u, 200u}) {
    uint32_t exitCode = 12345;
    ASSERT_EQ(RunToEnd(L"exit " + std::to_wstring(code), &exitCode), "");
    EXPECT_EQ(exitCode, code);
  }
}

TEST(Process, MissingProgramFailsWithFileNotFound) {
  const std::wstring missing =
      platform::TempFolder() + L"devu_missing_" + std::to_wstring(platform::CurrentProcessId()) + L".exe";
  uint32_t processId = 1;
  EXPECT_EQ(platform::StartProcess(missing, Quoted(missing), &processId, nullptr), nullptr);
  const uint32_t error = platform::LastError();
  EXPECT_TRUE(error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound) << error;
  EXPECT_EQ(processId, 1u) << "ids are written only for a started process";
}

TEST(Process, RunningChildIsListedWaitedForAndTerminated) {
  const std::wstring child = test_child::Path();
  uint32_t processId = 0;
  uint32_t threadId = 0;
  platform::ProcessHandle process =
      platform::StartProcess(L"", Quoted(child) + L" sleep 30000", &processId, &threadId);
  ASSERT_NE(process, nullptr) << platform::LastError();
  EXPECT_NE(processId, 0u);
  EXPECT_NE(threadId, 0u);
  EXPECT_NE(processId, platform::CurrentProcessId());

  EXPECT_FALSE(platform::WaitProcess(process, 50, nullptr));
  EXPECT_EQ(platform::LastError(), platform::kErrorTimeout);

  std::vector<platform::RunningProcess> list;
  ASSERT_TRUE(platform::ListProcesses(&list));
  const platform::RunningProcess* listed = FindById(list, processId);
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(listed->exeName, test_child::FileName());
  EXPECT_EQ(Lower(listed->imagePath), Lower(child));
  const platform::RunningProcess* self = FindById(list, platform::CurrentProcessId());
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(Lower(self->imagePath), Lower(platform::ModuleFilePath()));

  // A second handle, opened by id, terminates it; both see the end and the code asked for.
  platform::ProcessHandle byId = platform::OpenProcessById(processId);
  ASSERT_NE(byId, nullptr);
  EXPECT_TRUE(platform::TerminateProcess(byId, 5));
  uint32_t exitCode = 0;
  EXPECT_TRUE(platform::WaitProcess(byId, 10000, &exitCode));
  EXPECT_EQ(exitCode, 5u);
  exitCode = 0;
  EXPECT_TRUE(platform::WaitProcess(process, 0, &exitCode));
  EXPECT_EQ(exitCode, 5u);
  platform::CloseProcessHandle(byId);
  platform::CloseProcessHandle(process);

  ASSERT_TRUE(platform::ListProcesses(&list));
  EXPECT_EQ(FindById(list, processId), nullptr);
  // Windows forgets the id once every handle is closed; Wine may still open it for a moment, but
  // then only as ended.
  if (platform::ProcessHandle late = platform::OpenProcessById(processId)) {
    EXPECT_TRUE(platform::WaitProcess(late, 0, nullptr));
    platform::CloseProcessHandle(late);
  }
}

TEST(Process, CommandLineIsSplitByTheWindowsRules) {
  struct Case {
    const wchar_t* arguments;
    std::string words;  // each word followed by a line feed
  };
  const Case cases[] = {
      {L"a b  c", "a\nb\nc\n"},
      {L"\"a b\" c", "a b\nc\n"},
      {L"a\tb", "a\nb\n"},
      {L"a\\\\b c\\", "a\\\\b\nc\\\n"},      // backslashes before no quote stay
      {L"a\\\"b", "a\"b\n"},                 // an odd run escapes the quote
      {L"a\\\\\\\"b", "a\\\"b\n"},           // three backslashes: one, then a literal quote
      {L"\"a\\\\\" b", "a\\\nb\n"},          // an even run halves and the quote closes
      {L"x\"\" y", "x\ny\n"},                // an empty quoted part adds nothing
      {L"\"\" z", "\nz\n"},                  // an empty quoted word is a word
      {L"pre\"mid dle\"post", "premid dlepost\n"},
  };
  // The child writes relative to the shared current directory.
  const std::wstring outName = L"devu_child_args_" + std::to_wstring(platform::CurrentProcessId()) + L".txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.arguments)));
    uint32_t exitCode = 1;
    ASSERT_EQ(RunToEnd(L"args " + outName + L" " + c.arguments, &exitCode), "");
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(file_test::ReadWholeFile(outName), c.words);
    platform::RemoveFile(outName);
  }
}

TEST(Process, DebugPrivilege) { EXPECT_TRUE(platform::EnableDebugPrivilege()) << platform::LastError(); }
