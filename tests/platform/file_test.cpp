#include "platform/file.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/file_test_support.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace {

using file_test::ExpectOpenFails;
using file_test::ReadWholeFile;
using file_test::ScratchDirectory;
using file_test::WriteWholeFile;
using platform::FileAccess;
using platform::FileDisposition;
using platform::FileOpenParams;
using platform::NativeFile;

FileOpenParams Params(FileAccess access, uint32_t share, FileDisposition disposition) {
  FileOpenParams params;
  params.access = access;
  params.share = share;
  params.disposition = disposition;
  return params;
}

std::string ReadSome(NativeFile file, uint32_t count) {
  std::string bytes(count, '\0');
  uint32_t got = 0;
  if (!platform::ReadFile(file, bytes.data(), count, &got)) return "<error>";
  bytes.resize(got);
  return bytes;
}

bool WriteText(NativeFile file, const std::string& text) {
  uint32_t written = 0;
  return platform::WriteFile(file, text.data(), static_cast<uint32_t>(text.size()), &written) &&
         written == text.size();
}

uint64_t Position(NativeFile file) {
  uint64_t position = ~0ull;
  platform::SeekFile(file, 0, platform::SeekOrigin::Current, &position);
  return position;
}

TEST(File, OpenFailuresGiveTheWin32Numbers) {
  ScratchDirectory dir;
  ASSERT_TRUE(platform::MakeDirectory(dir / L"sub"));
  ASSERT_TRUE(WriteWholeFile(dir / L"plain.txt", "x"));
  struct Case {
    std::wstring path;
    FileAccess access;
    FileDisposition disposition;
    uint32_t error;
  };
  const Case cases[] = {
      {dir / L"missing.bin", FileAccess::Read, FileDisposition::OpenExisting,
       platform::kErrorFileNotFound},
      {dir / L"missing.bin", FileAccess::None, FileDisposition::OpenExisting,
       platform::kErrorFileNotFound},
      {dir / L"nodir\\missing.bin", FileAccess::Read, FileDisposition::OpenExisting,
       platform::kErrorPathNotFound},
      {dir / L"nodir\\new.bin", FileAccess::Write, FileDisposition::CreateAlways,
       platform::kErrorPathNotFound},
      {dir / L"plain.txt\\below.bin", FileAccess::Read, FileDisposition::OpenExisting,
       platform::kErrorPathNotFound},
      {dir / L"sub", FileAccess::Read, FileDisposition::OpenExisting, platform::kErrorAccessDenied},
      {dir / L"sub", FileAccess::ReadWrite, FileDisposition::OpenAlways,
       platform::kErrorAccessDenied},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    ExpectOpenFails(c.path, Params(c.access, 0, c.disposition), c.error);
  }
  EXPECT_FALSE(platform::PathExists(dir / L"missing.bin"));
}

TEST(File, CreateAlwaysTruncatesAndOpenAlwaysKeepsContents) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"data.bin";

  NativeFile file =
      platform::OpenFile(path, Params(FileAccess::ReadWrite, 0, FileDisposition::OpenAlways));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::LastError(), platform::kErrorSuccess);  // newly made
  EXPECT_TRUE(WriteText(file, "0123456789"));
  EXPECT_TRUE(platform::CloseFile(file));

  file = platform::OpenFile(path, Params(FileAccess::ReadWrite, 0, FileDisposition::OpenAlways));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::LastError(), platform::kErrorAlreadyExists);
  EXPECT_EQ(Position(file), 0u);
  EXPECT_EQ(ReadSome(file, 100), "0123456789");
  EXPECT_TRUE(platform::CloseFile(file));

  file = platform::OpenFile(path, Params(FileAccess::Write, 0, FileDisposition::CreateAlways));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::LastError(), platform::kErrorAlreadyExists);
  EXPECT_TRUE(platform::CloseFile(file));
  EXPECT_EQ(ReadWholeFile(path), "");

  // Truncation does not need the caller to have asked for writing.
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  file = platform::OpenFile(path, Params(FileAccess::Read, 0, FileDisposition::CreateAlways));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadSome(file, 10), "");
  EXPECT_TRUE(platform::CloseFile(file));
}

TEST(File, ReadingAtTheEndSucceedsWithNothing) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"five.bin";
  ASSERT_TRUE(WriteWholeFile(path, "12345"));
  NativeFile file =
      platform::OpenFile(path, Params(FileAccess::Read, 0, FileDisposition::OpenExisting));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadSome(file, 3), "123");
  EXPECT_EQ(ReadSome(file, 3), "45");  // short at the end
  EXPECT_EQ(ReadSome(file, 3), "");
  uint32_t got = 99;
  char byte = 0;
  EXPECT_TRUE(platform::ReadFile(file, &byte, 1, &got));
  EXPECT_EQ(got, 0u);
  // Past the end as well.
  EXPECT_TRUE(platform::SeekFile(file, 100, platform::SeekOrigin::Begin, nullptr));
  EXPECT_EQ(ReadSome(file, 3), "");
  EXPECT_TRUE(platform::CloseFile(file));
}

TEST(File, AccessIsEnforcedPerHandle) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"data.bin";
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  char buffer[4] = {};
  uint32_t count = 0;

  NativeFile none =
      platform::OpenFile(path, Params(FileAccess::None, 0, FileDisposition::OpenExisting));
  ASSERT_NE(none, nullptr);
  EXPECT_FALSE(platform::ReadFile(none, buffer, 3, &count));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  EXPECT_FALSE(platform::WriteFile(none, "x", 1, &count));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  EXPECT_TRUE(platform::CloseFile(none));

  NativeFile reader =
      platform::OpenFile(path, Params(FileAccess::Read, 0, FileDisposition::OpenExisting));
  ASSERT_NE(reader, nullptr);
  EXPECT_FALSE(platform::WriteFile(reader, "x", 1, &count));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  EXPECT_FALSE(platform::FlushFile(reader));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  EXPECT_FALSE(platform::SetEndOfFile(reader));  // Wine says 87 here, Windows 5
  EXPECT_TRUE(platform::CloseFile(reader));

  NativeFile writer =
      platform::OpenFile(path, Params(FileAccess::Write, 0, FileDisposition::OpenExisting));
  ASSERT_NE(writer, nullptr);
  EXPECT_FALSE(platform::ReadFile(writer, buffer, 3, &count));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  EXPECT_TRUE(platform::CloseFile(writer));
  EXPECT_EQ(ReadWholeFile(path), "abc");
}

TEST(File, PositionsLengthAndGaps) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"data.bin";
  // Shared for reading, so that the file can be checked while this handle is open.
  NativeFile file = platform::OpenFile(
      path, Params(FileAccess::ReadWrite, platform::kShareRead, FileDisposition::CreateAlways));
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(WriteText(file, "0123456789"));

  uint64_t position = 0;
  EXPECT_TRUE(platform::SeekFile(file, -4, platform::SeekOrigin::End, &position));
  EXPECT_EQ(position, 6u);
  EXPECT_TRUE(platform::SeekFile(file, -2, platform::SeekOrigin::Current, &position));
  EXPECT_EQ(position, 4u);
  EXPECT_EQ(ReadSome(file, 2), "45");

  // A position before the start is refused and the position stays.
  for (const auto& [offset, origin] : {std::pair{int64_t{-1}, platform::SeekOrigin::Begin},
                                       std::pair{int64_t{-7}, platform::SeekOrigin::Current},
                                       std::pair{int64_t{-11}, platform::SeekOrigin::End}}) {
    EXPECT_FALSE(platform::SeekFile(file, offset, origin, &position));
    EXPECT_EQ(platform::LastError(), platform::kErrorInvalidParameter);
    EXPECT_EQ(Position(file), 6u);
  }

  // Writing past the end fills the gap with zeros.
  EXPECT_TRUE(platform::SeekFile(file, 12, platform::SeekOrigin::Begin, nullptr));
  ASSERT_TRUE(WriteText(file, "Z"));
  EXPECT_EQ(ReadWholeFile(path), std::string("0123456789\0\0Z", 13));

  // SetEndOfFile cuts at the position, and extends with zeros.
  EXPECT_TRUE(platform::SeekFile(file, 5, platform::SeekOrigin::Begin, nullptr));
  EXPECT_TRUE(platform::SetEndOfFile(file));
  EXPECT_EQ(Position(file), 5u);
  EXPECT_EQ(ReadWholeFile(path), "01234");
  EXPECT_TRUE(platform::SeekFile(file, 8, platform::SeekOrigin::Begin, nullptr));
  EXPECT_TRUE(platform::SetEndOfFile(file));
  EXPECT_TRUE(platform::SeekFile(file, 0, platform::SeekOrigin::End, &position));
  EXPECT_EQ(position, 8u);
  EXPECT_TRUE(platform::FlushFile(file));
  EXPECT_EQ(ReadWholeFile(path), std::string("01234\0\0\0", 8));
  EXPECT_TRUE(platform::CloseFile(file));
}

TEST(File, ShareModesDecideWhichOpensMayCoexist) {
  using platform::kShareNone;
  using platform::kShareRead;
  using platform::kShareWrite;
  struct Case {
    const char* name;
    FileAccess firstAccess;
    uint32_t firstShare;
    FileAccess secondAccess;
    uint32_t secondShare;
    bool secondOpens;
  };
  const uint32_t both = kShareRead | kShareWrite;
  const Case cases[] = {
      {"deny-write holder refuses a writer", FileAccess::Read, kShareRead, FileAccess::Write, both,
       false},
      {"deny-write holders may both read", FileAccess::Read, kShareRead, FileAccess::Read,
       kShareRead, true},
      {"share-both writers coexist", FileAccess::ReadWrite, both, FileAccess::ReadWrite, both,
       true},
      {"exclusive holder refuses a reader", FileAccess::ReadWrite, kShareNone, FileAccess::Read,
       both, false},
      {"newcomer denying write refuses a writing holder", FileAccess::Write, both, FileAccess::Read,
       kShareRead, false},
      {"newcomer denying read refuses a reading holder", FileAccess::Read, both, FileAccess::Write,
       kShareWrite, false},
      {"open without access meets no sharing", FileAccess::None, kShareNone, FileAccess::ReadWrite,
       kShareNone, true},
      {"exclusive holder admits an open without access", FileAccess::ReadWrite, kShareNone,
       FileAccess::None, kShareNone, true},
  };
  ScratchDirectory dir;
  const std::wstring path = dir / L"shared.bin";
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NativeFile first = platform::OpenFile(
        path, Params(c.firstAccess, c.firstShare, FileDisposition::OpenExisting));
    ASSERT_NE(first, nullptr);
    NativeFile second = platform::OpenFile(
        path, Params(c.secondAccess, c.secondShare, FileDisposition::OpenExisting));
    EXPECT_EQ(second != nullptr, c.secondOpens);
    if (second != nullptr) {
      EXPECT_TRUE(platform::CloseFile(second));
    } else {
      EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
    }
    // A creating open is refused the same way, before it could truncate anything.
    if (!c.secondOpens) {
      ExpectOpenFails(path, Params(c.secondAccess, c.secondShare, FileDisposition::CreateAlways),
                      platform::kErrorSharingViolation);
    }
    EXPECT_TRUE(platform::CloseFile(first));
    // Closing releases the claim.
    second = platform::OpenFile(
        path, Params(c.secondAccess, c.secondShare, FileDisposition::OpenExisting));
    EXPECT_NE(second, nullptr);
    if (second != nullptr) platform::CloseFile(second);
  }
  EXPECT_EQ(ReadWholeFile(path), "abc");
}

TEST(File, SeparateHandlesWriteConcurrentlyAtTheirOwnOffsets) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"parts.bin";
  constexpr uint32_t kBlock = 4096;
  constexpr int kBlocksPerWriter = 64;
  constexpr int kWriters = 2;
  // Writer w owns blocks w, w + kWriters, ...; each block is filled with its own number.
  auto writer = [&](int w, bool* ok) {
    NativeFile file = platform::OpenFile(
        path, Params(FileAccess::ReadWrite, platform::kShareRead | platform::kShareWrite,
                     FileDisposition::OpenAlways));
    *ok = file != nullptr;
    if (file == nullptr) return;
    for (int i = 0; i < kBlocksPerWriter; ++i) {
      const int block = i * kWriters + w;
      const std::string bytes(kBlock, static_cast<char>('A' + block % 26));
      *ok =
          *ok &&
          platform::SeekFile(file, int64_t{block} * kBlock, platform::SeekOrigin::Begin, nullptr) &&
          WriteText(file, bytes);
    }
    *ok = platform::CloseFile(file) && *ok;
  };
  bool ok[kWriters] = {};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) threads.emplace_back(writer, w, &ok[w]);
  for (auto& thread : threads) thread.join();
  for (int w = 0; w < kWriters; ++w) EXPECT_TRUE(ok[w]) << "writer " << w;

  const std::string bytes = ReadWholeFile(path);
  ASSERT_EQ(bytes.size(), size_t{kBlock} * kBlocksPerWriter * kWriters);
  for (int block = 0; block < kBlocksPerWriter * kWriters; ++block) {
    const std::string expected(kBlock, static_cast<char>('A' + block % 26));
    ASSERT_EQ(bytes.compare(size_t{kBlock} * block, kBlock, expected), 0) << "block " << block;
  }
}

TEST(File, CallsOnNoHandleFailCleanly) {
  char byte = 0;
  uint32_t count = 7;
  EXPECT_FALSE(platform::ReadFile(nullptr, &byte, 1, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(platform::LastError(), platform::kErrorInvalidHandle);
  EXPECT_FALSE(platform::CloseFile(nullptr));
  EXPECT_EQ(platform::LastError(), platform::kErrorInvalidHandle);
}

}  // namespace
