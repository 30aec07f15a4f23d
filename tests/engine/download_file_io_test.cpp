#include "engine/download_file_io.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "support/file_test_support.h"
#include "support/trace_lines.h"

namespace {

using file_test::ReadWholeFile;
using file_test::ScratchDirectory;
using file_test::WriteWholeFile;

int32_t WriteText(CQBDownloadFileIO& writer, const std::string& text) {
  return writer.Write(text.data(), static_cast<uint32_t>(text.size()));
}

TEST(DownloadFileIOTest, WritesContinueFromTheOffsetAndKeepTheRest) {
  const struct {
    const char* name;
    uint64_t offset;
    std::string expected;
  } cases[] = {
      {"at the start", 0, "abcdef" "6789"},
      {"inside", 2, "01abcdef" "89"},
      {"past the end extends the file", 12, std::string("0123456789") + std::string(2, '\0') + "abcdef"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory dir;
    const std::wstring path = dir / L"game.exe.qbdt";
    ASSERT_TRUE(WriteWholeFile(path, "0123456789"));
    CQBDownloadFileIO writer;
    ASSERT_TRUE(writer.open(path, c.offset));
    EXPECT_EQ(writer.path, path);
    EXPECT_EQ(WriteText(writer, "abc"), 3);
    EXPECT_EQ(WriteText(writer, "def"), 3);
    writer.Close();
    EXPECT_EQ(ReadWholeFile(path), c.expected);
  }
}

TEST(DownloadFileIOTest, OpenCreatesAMissingDataFile) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"game.exe.qbdt";
  CQBDownloadFileIO writer;
  ASSERT_TRUE(writer.open(path, 0));
  EXPECT_EQ(WriteText(writer, "xy"), 2);
  writer.Close();
  EXPECT_EQ(ReadWholeFile(path), "xy");
}

TEST(DownloadFileIOTest, WriteWithoutAnOpenFileFailsUntilClosed) {
  CQBDownloadFileIO writer;
  EXPECT_EQ(WriteText(writer, "x"), -1);
  EXPECT_EQ(writer.errorCode, 2001);
  EXPECT_EQ(writer.errorType, 3);
  writer.Close();
  EXPECT_EQ(writer.errorCode, 0);
  EXPECT_EQ(writer.errorType, 0);
}

TEST(DownloadFileIOTest, OpenInAMissingDirectoryReportsTheSystemError) {
  ScratchDirectory dir;
  TraceLines trace;
  CQBDownloadFileIO writer;
  EXPECT_FALSE(writer.open(dir / L"missing\\game.exe.qbdt", 0));
  EXPECT_EQ(writer.errorType, 1);
  EXPECT_EQ(writer.errorCode, static_cast<int32_t>(platform::kErrorPathNotFound));
  EXPECT_EQ(trace.LinesContaining(L"[CDownloadFileIO]打开错误 1:3 ").size(), 1u);
  EXPECT_EQ(WriteText(writer, "x"), -1);
  EXPECT_EQ(writer.errorType, 3);
}

TEST(DownloadFileIOTest, WritersOnSeparateHandlesFillTheirOwnRangesAtTheSameTime) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"game.exe.qbdt";
  constexpr int kWriters = 4;
  constexpr uint32_t kChunk = 997;  // not a multiple of any sector size
  constexpr int kChunks = 40;
  constexpr uint64_t kRange = uint64_t{kChunk} * kChunks;
  // Each writer has its handle before any of them starts, as transfers do.
  std::vector<std::unique_ptr<CQBDownloadFileIO>> writers;
  for (int i = 0; i < kWriters; ++i) {
    writers.push_back(std::make_unique<CQBDownloadFileIO>());
    ASSERT_TRUE(writers.back()->open(path, kRange * i)) << writers.back()->errorCode;
  }
  std::vector<std::thread> threads;
  std::vector<int> failures(kWriters, 0);
  for (int i = 0; i < kWriters; ++i) {
    threads.emplace_back([&, i] {
      const std::string chunk(kChunk, static_cast<char>('A' + i));
      for (int n = 0; n < kChunks; ++n) {
        if (writers[i]->Write(chunk.data(), kChunk) != static_cast<int32_t>(kChunk)) ++failures[i];
      }
    });
  }
  for (auto& t : threads) t.join();
  for (auto& w : writers) w->Close();
  EXPECT_EQ(failures, std::vector<int>(kWriters, 0));
  std::string expected;
  for (int i = 0; i < kWriters; ++i) expected += std::string(kRange, static_cast<char>('A' + i));
  EXPECT_EQ(ReadWholeFile(path), expected);
}

}  // namespace
