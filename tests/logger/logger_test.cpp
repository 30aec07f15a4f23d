#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "logger/log.h"
#include "platform/clock.h"
#include "platform/ids.h"
#include "util/format.h"
#include "util/text_convert.h"

namespace {

// Captures what the trace logger would hand to the debugger output; restores the defaults after.
class TraceLoggerTest : public testing::Test {
 protected:
  void SetUp() override {
    TraceLogger::GetInstance()->SetSink([this](const std::wstring& line) { lines_.push_back(line); });
  }
  void TearDown() override {
    TraceLogger* trace = TraceLogger::GetInstance();
    trace->SetSink(nullptr);
    trace->SetEnabled(true);
    trace->SetFormat(std::make_unique<LogFormat>());
    FileLogger::GetInstance()->DetachFile();
    FileLogger::GetInstance()->SetFormat(std::make_unique<LogFormat>());
  }

  static void UseFormat(BaseLogger* logger, uint32_t flags, bool appendNewline = true) {
    auto format = std::make_unique<LogFormat>();
    format->flags = flags;
    format->appendNewline = appendNewline;
    logger->SetFormat(std::move(format));
  }

  static std::wstring Pid() { return FormatW(L"[pid:%d]", platform::CurrentProcessId()); }

  std::vector<std::wstring> lines_;
};

TEST_F(TraceLoggerTest, DefaultLineHasEveryHeaderPartInOrder) {
  const uint32_t before = platform::TickCount();
  TraceLogger::GetInstance()->Log(LOG_LEVEL_ERRO, L"open %s failed et:%d ec:%d", L"a.qbdt", 1, 5);
  const uint32_t after = platform::TickCount();
  ASSERT_EQ(lines_.size(), 1u);

  const std::string line = WideToUtf8(lines_[0]);
  const std::regex layout(
      R"(\[ERRO\]\[(\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)\]\[tick:(\d+)\]\[pid:(-?\d+)\]\[tid:(-?\d+)\])"
      R"(open a\.qbdt failed et:1 ec:5\r\n)");
  std::smatch parts;
  ASSERT_TRUE(std::regex_match(line, parts, layout)) << line;
  const uint32_t tick = static_cast<uint32_t>(std::stoull(parts[7].str()));
  EXPECT_LE(tick - before, after - before);  // unsigned difference: safe across a wrap
  EXPECT_EQ(parts[8].str(), FormatA("%d", platform::CurrentProcessId()));
  EXPECT_EQ(parts[9].str(), FormatA("%d", platform::CurrentThreadId()));
  EXPECT_GE(std::stoi(parts[1].str()), 2020);
}

TEST_F(TraceLoggerTest, LevelTagsAndSelectedHeaderParts) {
  TraceLogger* trace = TraceLogger::GetInstance();
  UseFormat(trace, LOG_FLAG_PID);
  const struct {
    int level;
    std::wstring expected;
  } cases[] = {
      {0, L"[INFO]" + Pid() + L"m\r\n"},
      {1, L"[WARN]" + Pid() + L"m\r\n"},
      {2, L"[ERRO]" + Pid() + L"m\r\n"},
      {3, Pid() + L"m\r\n"},
      {-1, Pid() + L"m\r\n"},
  };
  for (const auto& c : cases) {
    lines_.clear();
    trace->Log(c.level, L"m");
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0], c.expected) << c.level;
  }

  UseFormat(trace, LOG_FLAG_TID | 0x1 | 0x100);  // bits without meaning change nothing
  lines_.clear();
  trace->Log(LOG_LEVEL_INFO, L"x");
  EXPECT_EQ(lines_.at(0), FormatW(L"[INFO][tid:%d]x\r\n", platform::CurrentThreadId()));
}

TEST_F(TraceLoggerTest, MessagePartEdgeCases) {
  TraceLogger* trace = TraceLogger::GetInstance();
  UseFormat(trace, LOG_FLAG_PID);
  trace->Log(LOG_LEVEL_INFO, L"%s", L"");
  trace->Info(L"100%% done");
  trace->Error(L"bad %d");  // a text with a directive and no argument is written as it stands
  trace->LogWithLocation(LOG_LEVEL_INFO, 12, L"src\\task.cpp", L"size %I64u", uint64_t{5000000000});
  trace->LogWithLocation(LOG_LEVEL_INFO, 1, std::wstring(3000, L'f').c_str(), L"long");
  ASSERT_EQ(lines_.size(), 5u);
  EXPECT_EQ(lines_[0], L"[INFO]" + Pid() + L"\r\n");
  EXPECT_EQ(lines_[1], L"[INFO]" + Pid() + L"100% done\r\n");
  EXPECT_EQ(lines_[2], L"[ERRO]" + Pid() + L"bad %d\r\n");
  EXPECT_EQ(lines_[3], L"[INFO]" + Pid() + L"[src\\task.cpp:12]size 5000000000\r\n");
  // The location part is cut to 2047 characters; the message still follows.
  EXPECT_EQ(lines_[4], L"[INFO]" + Pid() + (L"[" + std::wstring(3000, L'f')).substr(0, 2047) + L"long\r\n");
}

TEST_F(TraceLoggerTest, WithoutLineEndLinesRunTogether) {
  TraceLogger* trace = TraceLogger::GetInstance();
  UseFormat(trace, 0, false);
  trace->Log(LOG_LEVEL_INFO, L"a");
  trace->Log(LOG_LEVEL_ERRO, L"b");
  std::wstring all;
  for (const std::wstring& line : lines_) all += line;
  EXPECT_EQ(all, L"[INFO]a[ERRO]b");
}

TEST_F(TraceLoggerTest, DisabledOrFormatlessLoggerWritesNothing) {
  TraceLogger* trace = TraceLogger::GetInstance();
  EXPECT_TRUE(trace->IsEnabled());
  trace->SetEnabled(false);
  EXPECT_FALSE(trace->IsEnabled());
  trace->Log(LOG_LEVEL_INFO, L"hidden");
  trace->SetEnabled(true);
  trace->SetFormat(nullptr);
  EXPECT_FALSE(trace->IsEnabled());
  trace->Log(LOG_LEVEL_INFO, L"hidden");
  EXPECT_TRUE(lines_.empty());

  EXPECT_FALSE(ConsoleLogger::GetInstance()->IsEnabled());
  EXPECT_FALSE(FileLogger::GetInstance()->IsEnabled());
}

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string bytes;
  char chunk[256];
  size_t read = 0;
  while ((read = std::fread(chunk, 1, sizeof(chunk), file)) != 0) bytes.append(chunk, read);
  return bytes;
}

TEST_F(TraceLoggerTest, FileLoggerWritesUtf16LittleEndianOnlyWhileAFileIsAttached) {
  FileLogger* fileLogger = FileLogger::GetInstance();
  UseFormat(fileLogger, 0);
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(fileLogger->AttachFile(file), nullptr);
  EXPECT_TRUE(fileLogger->IsEnabled());
  fileLogger->LogWithLocation(LOG_LEVEL_INFO, 7, L"a.cpp", L"%s", L"\u4e2d\U0001F600");
  fileLogger->Log(LOG_LEVEL_ERRO, L"x");  // Log never writes a location part
  EXPECT_EQ(fileLogger->DetachFile(), file);
  fileLogger->LogWithLocation(LOG_LEVEL_INFO, 8, L"a.cpp", L"dropped");

  std::string expected;
  for (char c : std::string("[INFO][a.cpp:7]")) expected += {c, '\0'};
  expected += std::string("\x2D\x4E\x3D\xD8\x00\xDE", 6);  // U+4E2D, then U+1F600 as a surrogate pair
  for (char c : std::string("\r\n[ERRO]x\r\n")) expected += {c, '\0'};
  EXPECT_EQ(ReadAll(file), expected);
  std::fclose(file);
}

TEST_F(TraceLoggerTest, StatementGoesToFileLoggerWithLocationThenToTraceLogger) {
  FileLogger* fileLogger = FileLogger::GetInstance();
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  fileLogger->AttachFile(file);
  UseFormat(fileLogger, 0);
  UseFormat(TraceLogger::GetInstance(), 0);

  const int line = __LINE__ + 1;
  LOG_ERRO(L"code:%d type:%d", 1124, 3);
  LOG_INFO(L"plain");
  fileLogger->DetachFile();

  EXPECT_EQ(lines_, (std::vector<std::wstring>{L"[ERRO]code:1124 type:3\r\n", L"[INFO]plain\r\n"}));
  const std::string bytes = ReadAll(file);
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  const std::wstring written = Utf16ToWide(units);
  const std::wstring first = L"[ERRO][" + Utf8ToWide(__FILE__) + FormatW(L":%d]code:1124 type:3\r\n", line);
  EXPECT_EQ(written.substr(0, first.size()), first);
  EXPECT_NE(written.find(FormatW(L":%d]plain\r\n", line + 1)), std::wstring::npos);
  std::fclose(file);
}

// The lock keeps the lines of one logger apart: the sink is never entered by two threads at once.
TEST_F(TraceLoggerTest, LinesFromManyThreadsNeverOverlap) {
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> count{0};
  TraceLogger::GetInstance()->SetSink([&](const std::wstring& line) {
    if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
    if (line.find(L"worker") != std::wstring::npos) count.fetch_add(1);
    std::this_thread::yield();
    inside.fetch_sub(1);
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([t] {
      for (int i = 0; i < 200; ++i) LOG_INFO(L"worker %d line %d", t, i);
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(count.load(), 800);
}

}  // namespace
