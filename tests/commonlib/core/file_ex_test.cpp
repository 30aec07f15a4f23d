#include "commonlib/core/file_ex.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "support/file_test_support.h"

namespace {

using file_test::ReadWholeFile;
using file_test::ScratchDirectory;
using file_test::WriteWholeFile;
using platform::FileAccess;
using platform::FileDisposition;

// Runs `action`, expects a CFileExException with `code` and `message`, located in the file
// access source.
template <typename Action>
void ExpectFileError(Action action, int32_t code, const std::wstring& message) {
  try {
    action();
    ADD_FAILURE() << "nothing thrown, expected code " << code;
  } catch (const CFileExException& e) {
    EXPECT_EQ(e.code, code);
    EXPECT_EQ(e.message, message);
    EXPECT_NE(e.file.find(L"file_ex.cpp"), std::wstring::npos);
    EXPECT_GT(e.line, 0);
  }
}

std::string ReadAll(CFileEx& file) {
  std::string bytes;
  char buffer[7];
  for (;;) {
    const uint32_t got = file.Read(buffer, sizeof buffer);
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

TEST(FileExFlags, TranslateToOpenParameters) {
  constexpr uint32_t kReadShare = platform::kShareRead;
  constexpr uint32_t kWriteShare = platform::kShareWrite;
  constexpr uint32_t kBothShare = platform::kShareRead | platform::kShareWrite;
  struct Case {
    uint32_t flags;
    FileAccess access;
    uint32_t share;
    FileDisposition disposition;
    bool inheritable;
  } cases[] = {
      {0x0000, FileAccess::Read, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x0001, FileAccess::Write, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x0002, FileAccess::ReadWrite, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x0003, FileAccess::None, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x0010, FileAccess::Read, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x0020, FileAccess::Read, kReadShare, FileDisposition::OpenExisting, true},
      {0x0030, FileAccess::Read, kWriteShare, FileDisposition::OpenExisting, true},
      {0x0040, FileAccess::Read, kBothShare, FileDisposition::OpenExisting, true},
      {0x0050, FileAccess::Read, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x0060, FileAccess::Read, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x0070, FileAccess::Read, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x0080, FileAccess::Read, platform::kShareNone, FileDisposition::OpenExisting, false},
      {0x1000, FileAccess::Read, platform::kShareNone, FileDisposition::CreateAlways, true},
      {0x2000, FileAccess::Read, platform::kShareNone, FileDisposition::OpenExisting, true},
      {0x3000, FileAccess::Read, platform::kShareNone, FileDisposition::OpenAlways, true},
      {0x8000, FileAccess::Read, platform::kShareNone, FileDisposition::OpenExisting, true},
      // The system's own combinations: data file, meta load, meta save, install-info write.
      {0xB0C2, FileAccess::ReadWrite, kBothShare, FileDisposition::OpenAlways, false},
      {0x80A0, FileAccess::Read, kReadShare, FileDisposition::OpenExisting, false},
      {0xB0A2, FileAccess::ReadWrite, kReadShare, FileDisposition::OpenAlways, false},
      {0x90A1, FileAccess::Write, kReadShare, FileDisposition::CreateAlways, false},
  };
  for (const Case& c : cases) {
    const platform::FileOpenParams params = FileExOpenParams(c.flags);
    EXPECT_EQ(params.access, c.access) << std::hex << c.flags;
    EXPECT_EQ(params.share, c.share) << std::hex << c.flags;
    EXPECT_EQ(params.disposition, c.disposition) << std::hex << c.flags;
    EXPECT_EQ(params.inheritable, c.inheritable) << std::hex << c.flags;
  }
}

TEST(CFileEx, OpenOfAMissingFileFillsTheErrorRecordAndThrowsNothing) {
  ScratchDirectory dir;
  CFileEx file;
  CFileExException error;
  EXPECT_FALSE(file.Open(dir / L"missing.bin", FileModeRead | FileBinary, &error));
  EXPECT_EQ(error.code, 2);
  EXPECT_EQ(error.message, L"INVALID_HANDLE_VALUE");
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Open(dir / L"missing.bin", FileModeRead));  // no record: still no throw
  EXPECT_FALSE(file.Open(dir / L"no\\such\\dir.bin", FileModeWrite | FileCreate, &error));
  EXPECT_EQ(error.code, 3);
}

// Flag -> what happens to an existing file of 5 bytes.
TEST(CFileEx, CreateFlagsTruncateOrKeep) {
  ScratchDirectory dir;
  struct Case {
    uint32_t flags;
    bool opens;
    std::string contentAfter;
  } cases[] = {
      {FileModeReadWrite, true, "hello"},
      {FileModeReadWrite | FileCreate, true, ""},
      {FileModeReadWrite | FileCreate | FileNoTruncate, true, "hello"},
      {FileModeReadWrite | FileNoTruncate, true, "hello"},  // ignored without FileCreate
      {FileModeWrite | FileCreate | FileShareDenyWrite | FileNoInherit | FileBinary, true, ""},
  };
  for (const Case& c : cases) {
    const std::wstring path = dir / L"existing.bin";
    ASSERT_TRUE(WriteWholeFile(path, "hello"));
    CFileEx file;
    EXPECT_EQ(file.Open(path, c.flags), c.opens) << std::hex << c.flags;
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), c.contentAfter) << std::hex << c.flags;
  }
  // A missing file is created by FileCreate with or without FileNoTruncate.
  for (uint32_t flags : {0x1001u, 0x3001u}) {
    CFileEx file;
    const std::wstring path = dir / (L"new" + std::to_wstring(flags) + L".bin");
    ASSERT_TRUE(file.Open(path, flags));
    file.Write("ab", 2);
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), "ab");
  }
}

TEST(CFileEx, SharingFlagsDecideASecondOpen) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"shared.bin";
  ASSERT_TRUE(WriteWholeFile(path, "data"));
  struct Case {
    uint32_t firstFlags;
    uint32_t secondFlags;
    bool secondOpens;
  } cases[] = {
      {FileModeRead | FileShareDenyWrite, FileModeRead | FileShareDenyNone, true},
      {FileModeRead | FileShareDenyWrite, FileModeWrite | FileShareDenyNone, false},
      {FileModeRead | FileShareExclusive, FileModeRead | FileShareDenyNone, false},
      {FileModeReadWrite | FileShareDenyNone, FileModeReadWrite | FileShareDenyNone, true},
      {FileModeRead | FileShareDenyRead, FileModeRead | FileShareDenyNone, false},
      {FileModeRead | FileShareDenyRead, FileModeWrite | FileShareDenyNone, true},
      {FileModeRead | 0x0070, FileModeRead | FileShareDenyNone, false},
  };
  for (const Case& c : cases) {
    CFileEx first;
    ASSERT_TRUE(first.Open(path, c.firstFlags)) << std::hex << c.firstFlags;
    CFileEx second;
    CFileExException error;
    EXPECT_EQ(second.Open(path, c.secondFlags, &error), c.secondOpens)
        << std::hex << c.firstFlags << " then " << c.secondFlags;
    if (!c.secondOpens) {
      EXPECT_EQ(error.code, 32);
    }
  }
}

TEST(CFileEx, NoAccessOpensButCannotReadOrWrite) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"f.bin";
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  CFileEx file;
  ASSERT_TRUE(file.Open(path, 0x3));
  char buffer[3];
  ExpectFileError([&] { file.Read(buffer, 3); }, 5, L"");
  ExpectFileError([&] { file.Write("x", 1); }, 5, path);
}

TEST(CFileEx, ErrorTableOfReadAndWrite) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"f.bin";
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  CFileEx reader;
  ASSERT_TRUE(reader.Open(path, FileModeRead | FileShareDenyNone));
  ExpectFileError([&] { reader.Write("x", 1); }, 5, path);  // write failures carry the file name
  CFileEx writer;
  ASSERT_TRUE(writer.Open(path, FileModeWrite | FileShareDenyNone));
  char buffer[1];
  ExpectFileError([&] { writer.Read(buffer, 1); }, 5, L"");
  ExpectFileError([&] { writer.Seek(-1, 0); }, 87, L"");
  ExpectFileError([&] { writer.Seek(0, 3); }, 87, L"");
}

TEST(CFileEx, ReadsAndWritesAtThePosition) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"rw.bin";
  CFileEx file;
  ASSERT_TRUE(file.Open(path, 0xB0C2));
  file.Write("0123456789", 10);
  EXPECT_EQ(file.GetPosition(), 10u);
  EXPECT_EQ(file.Seek(2, 0), 2u);
  file.Write("ab", 2);
  EXPECT_EQ(file.Seek(-1, 1), 3u);
  EXPECT_EQ(file.Seek(-2, 2), 8u);
  EXPECT_EQ(file.Seek(0, 0), 0u);
  EXPECT_EQ(ReadAll(file), "01ab456789");
  char buffer[4];
  EXPECT_EQ(file.Read(buffer, 4), 0u);  // at the end: 0, no exception
  EXPECT_EQ(file.Seek(8, 0), 8u);
  EXPECT_EQ(file.Read(buffer, 4), 2u);  // short at the end
  file.Flush();
  file.Close();
  EXPECT_EQ(ReadWholeFile(path), "01ab456789");
}

TEST(CFileEx, LengthOperationsMoveThePosition) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"len.bin";
  ASSERT_TRUE(WriteWholeFile(path, std::string(100, 'x')));
  CFileEx file;
  ASSERT_TRUE(file.Open(path, FileModeReadWrite));
  file.Seek(10, 0);
  EXPECT_EQ(file.GetLength(), 100u);
  EXPECT_EQ(file.GetPosition(), 100u);
  EXPECT_TRUE(file.SetLength(5));
  EXPECT_EQ(file.GetPosition(), 5u);
  EXPECT_EQ(file.GetLength(), 5u);
  EXPECT_TRUE(file.SetLength(300));  // extends with zeros
  file.Close();
  EXPECT_EQ(ReadWholeFile(path), std::string(5, 'x') + std::string(295, '\0'));
}

TEST(CFileEx, ClosedObjectEdgeCases) {
  CFileEx file;
  file.Write(nullptr, 0);  // nothing, no throw
  file.Close();
  file.Flush();
  file.Abort();
  EXPECT_EQ(file.Read(nullptr, 0), 0u);
  char buffer[1];
  ExpectFileError([&] { file.Read(buffer, 1); }, 6, L"");
  ExpectFileError([&] { file.Write("x", 1); }, 6, L"");
  ExpectFileError([&] { file.GetLength(); }, 6, L"");
  ExpectFileError([&] { file.SetLength(1); }, 6, L"");
}

TEST(CFileEx, CloseAbortAndDestructorReleaseTheFile) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"lock.bin";
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  const uint32_t exclusive = FileModeReadWrite | FileShareExclusive;
  auto openable = [&] {
    CFileEx probe;
    return probe.Open(path, exclusive);
  };

  CFileEx file;
  ASSERT_TRUE(file.Open(path, exclusive));
  EXPECT_EQ(file.GetFileName(), path);
  EXPECT_FALSE(openable());
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.GetFileName(), L"");
  EXPECT_TRUE(openable());

  ASSERT_TRUE(file.Open(path, exclusive));  // reopening a closed object
  file.Abort();
  EXPECT_EQ(file.GetFileName(), L"");
  EXPECT_TRUE(openable());

  {
    CFileEx scoped;
    ASSERT_TRUE(scoped.Open(path, exclusive));
  }
  EXPECT_TRUE(openable());
}

TEST(CFileEx, OpenOverAnOpenFileReleasesTheFirst) {
  ScratchDirectory dir;
  const std::wstring first = dir / L"first.bin";
  ASSERT_TRUE(WriteWholeFile(first, "1"));
  ASSERT_TRUE(WriteWholeFile(dir / L"second.bin", "2"));
  CFileEx file;
  ASSERT_TRUE(file.Open(first, FileModeRead | FileShareExclusive));
  ASSERT_TRUE(file.Open(dir / L"second.bin", FileModeRead));
  EXPECT_EQ(ReadAll(file), "2");
  CFileEx other;
  EXPECT_TRUE(other.Open(first, FileModeRead | FileShareExclusive));
}

}  // namespace
