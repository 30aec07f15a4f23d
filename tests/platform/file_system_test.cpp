#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/file_test_support.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/path.h"

namespace {

using file_test::ExpectOpenFails;
using file_test::ReadWholeFile;
using file_test::ScratchDirectory;
using file_test::WriteWholeFile;
using platform::FileAccess;
using platform::FileDisposition;
using platform::FileOpenParams;
using platform::NativeFile;

NativeFile OpenExisting(const std::wstring& path, FileAccess access, uint32_t share) {
  FileOpenParams params;
  params.access = access;
  params.share = share;
  params.disposition = FileDisposition::OpenExisting;
  return platform::OpenFile(path, params);
}

TEST(FileSystem, InfoDescribesFilesAndDirectories) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"seven.bin", "1234567"));
  platform::FileInfo info;
  ASSERT_TRUE(platform::GetFileInfo(dir / L"seven.bin", &info));
  EXPECT_FALSE(info.isDirectory);
  EXPECT_FALSE(info.readOnly);
  EXPECT_EQ(info.size, 7u);
  // A fresh file's time is the wall time in the same 1601-based units (generous bound).
  const uint64_t now = platform::SystemTimeAsFileTime();
  const uint64_t tenMinutes = 10ull * 60 * 10'000'000;
  EXPECT_LT(info.lastWriteTime, now + tenMinutes);
  EXPECT_GT(info.lastWriteTime, now - tenMinutes);

  ASSERT_TRUE(platform::GetFileInfo(dir.path(), &info));
  EXPECT_TRUE(info.isDirectory);
  EXPECT_EQ(info.size, 0u);

  EXPECT_FALSE(platform::GetFileInfo(dir / L"missing", &info));
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
  EXPECT_FALSE(platform::PathExists(dir / L"nodir\\missing"));
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);
  EXPECT_FALSE(platform::PathExists(dir / L"seven.bin\\below"));
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);
}

TEST(FileSystem, LastWriteTimeRoundTrips) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"dated.bin";
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  // 2019-04-14 and some 100 ns units, so that every digit of the conversion counts.
  const uint64_t fileTime = 132'000'000'001'234'567ull;
  ASSERT_TRUE(platform::SetLastWriteTime(path, fileTime));
  platform::FileInfo info;
  ASSERT_TRUE(platform::GetFileInfo(path, &info));
  EXPECT_EQ(info.lastWriteTime, fileTime);
  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir.path(), &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].info.lastWriteTime, fileTime);

  // Directories take a time too, and a read-only file still does.
  ASSERT_TRUE(platform::SetLastWriteTime(dir.path(), fileTime + 10'000'000));
  ASSERT_TRUE(platform::GetFileInfo(dir.path(), &info));
  EXPECT_EQ(info.lastWriteTime, fileTime + 10'000'000);
  ASSERT_TRUE(platform::SetReadOnly(path, true));
  EXPECT_TRUE(platform::SetLastWriteTime(path, fileTime - 10'000'000));
  ASSERT_TRUE(platform::GetFileInfo(path, &info));
  EXPECT_EQ(info.lastWriteTime, fileTime - 10'000'000);

  EXPECT_FALSE(platform::SetLastWriteTime(dir / L"missing", fileTime));
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
}

TEST(FileSystem, ReadOnlyFileRefusesWritingAndDeletingUntilCleared) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"locked.txt";
  ASSERT_TRUE(WriteWholeFile(path, "keep"));
  ASSERT_TRUE(platform::SetReadOnly(path, true));
  platform::FileInfo info;
  ASSERT_TRUE(platform::GetFileInfo(path, &info));
  EXPECT_TRUE(info.readOnly);

  FileOpenParams params;
  for (const FileAccess access : {FileAccess::Write, FileAccess::ReadWrite}) {
    for (const FileDisposition disposition :
         {FileDisposition::OpenExisting, FileDisposition::OpenAlways}) {
      params.access = access;
      params.disposition = disposition;
      ExpectOpenFails(path, params, platform::kErrorAccessDenied);
    }
  }
  params.access = FileAccess::Read;  // truncating needs no write access, but is still refused
  params.disposition = FileDisposition::CreateAlways;
  ExpectOpenFails(path, params, platform::kErrorAccessDenied);
  EXPECT_FALSE(platform::RemoveFile(path));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  ASSERT_TRUE(WriteWholeFile(dir / L"other.txt", "new"));
  EXPECT_FALSE(platform::MoveFileReplaceExisting(dir / L"other.txt", path));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
  EXPECT_EQ(ReadWholeFile(path), "keep");  // reading is still allowed

  ASSERT_TRUE(platform::SetReadOnly(path, false));
  ASSERT_TRUE(platform::GetFileInfo(path, &info));
  EXPECT_FALSE(info.readOnly);
  NativeFile writer = OpenExisting(path, FileAccess::Write, 0);
  EXPECT_NE(writer, nullptr);
  if (writer != nullptr) platform::CloseFile(writer);
  EXPECT_TRUE(platform::RemoveFile(path));
  EXPECT_FALSE(platform::PathExists(path));
}

TEST(FileSystem, MoveReplacesAnExistingFile) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"new.bin", "new contents"));
  ASSERT_TRUE(WriteWholeFile(dir / L"old.bin", "old"));
  ASSERT_TRUE(platform::MoveFileReplaceExisting(dir / L"new.bin", dir / L"old.bin"));
  EXPECT_FALSE(platform::PathExists(dir / L"new.bin"));
  EXPECT_EQ(ReadWholeFile(dir / L"old.bin"), "new contents");

  // To a new name, and a directory with its contents.
  ASSERT_TRUE(platform::MakeDirectory(dir / L"a"));
  ASSERT_TRUE(platform::MoveFileReplaceExisting(dir / L"old.bin", dir / L"a\\moved.bin"));
  ASSERT_TRUE(platform::MoveFileReplaceExisting(dir / L"a", dir / L"b"));
  EXPECT_EQ(ReadWholeFile(dir / L"b\\moved.bin"), "new contents");
}

TEST(FileSystem, MoveRefusals) {
  ScratchDirectory dir;
  const std::wstring source = dir / L"source.bin";
  const std::wstring target = dir / L"target.bin";
  ASSERT_TRUE(WriteWholeFile(source, "source"));
  ASSERT_TRUE(WriteWholeFile(target, "target"));
  ASSERT_TRUE(platform::MakeDirectory(dir / L"sub"));

  EXPECT_FALSE(platform::MoveFileReplaceExisting(dir / L"missing", target));
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
  EXPECT_FALSE(platform::MoveFileReplaceExisting(source, dir / L"nodir\\x.bin"));
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);
  EXPECT_FALSE(platform::MoveFileReplaceExisting(source, dir / L"sub"));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);

  // An open source cannot be renamed; an open target cannot be replaced, whatever it shares.
  const uint32_t both = platform::kShareRead | platform::kShareWrite;
  NativeFile open = OpenExisting(source, FileAccess::Read, both);
  ASSERT_NE(open, nullptr);
  EXPECT_FALSE(platform::MoveFileReplaceExisting(source, target));
  EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
  EXPECT_TRUE(platform::CloseFile(open));
  for (const FileAccess access : {FileAccess::Read, FileAccess::None}) {
    open = OpenExisting(target, access, both);
    ASSERT_NE(open, nullptr);
    EXPECT_FALSE(platform::MoveFileReplaceExisting(source, target));
    EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
    EXPECT_TRUE(platform::CloseFile(open));
  }
  EXPECT_EQ(ReadWholeFile(source), "source");
  EXPECT_EQ(ReadWholeFile(target), "target");

  // An open without access rights does not hold its file in place.
  open = OpenExisting(source, FileAccess::None, 0);
  ASSERT_NE(open, nullptr);
  EXPECT_TRUE(platform::MoveFileReplaceExisting(source, target));
  EXPECT_TRUE(platform::CloseFile(open));
  EXPECT_EQ(ReadWholeFile(target), "source");
}

TEST(FileSystem, RemoveFileRespectsOpensAndKinds) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"victim.bin";
  ASSERT_TRUE(WriteWholeFile(path, "x"));
  const uint32_t both = platform::kShareRead | platform::kShareWrite;
  NativeFile open = OpenExisting(path, FileAccess::Read, both);
  ASSERT_NE(open, nullptr);
  EXPECT_FALSE(platform::RemoveFile(path));
  EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
  EXPECT_TRUE(platform::CloseFile(open));
  EXPECT_TRUE(platform::PathExists(path));

  open = OpenExisting(path, FileAccess::None, 0);
  ASSERT_NE(open, nullptr);
  EXPECT_TRUE(platform::RemoveFile(path));
  EXPECT_TRUE(platform::CloseFile(open));
  EXPECT_FALSE(platform::PathExists(path));

  EXPECT_FALSE(platform::RemoveFile(path));
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
  EXPECT_FALSE(platform::RemoveFile(dir / L"nodir\\x"));
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);
  ASSERT_TRUE(platform::MakeDirectory(dir / L"sub"));
  EXPECT_FALSE(platform::RemoveFile(dir / L"sub"));
  EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
}

TEST(FileSystem, DirectoryTreeResults) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"file", "x"));
  struct Case {
    std::wstring path;
    uint32_t result;
  };
  const Case cases[] = {
      {dir / L"a\\b\\c", platform::kErrorSuccess},
      {dir / L"a\\b\\c", platform::kErrorAlreadyExists},
      {dir / L"a\\b\\", platform::kErrorAlreadyExists},
      {dir / L"a\\b\\d\\", platform::kErrorSuccess},
      {dir / L"file", platform::kErrorFileExists},
      {dir / L"file\\", platform::kErrorFileExists},
      {dir / L"file\\sub\\x", platform::kErrorPathNotFound},  // no way past a file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    EXPECT_EQ(platform::MakeDirectoryTree(c.path), c.result);
  }
  platform::FileInfo info;
  ASSERT_TRUE(platform::GetFileInfo(dir / L"a\\b\\d", &info));
  EXPECT_TRUE(info.isDirectory);
  ASSERT_TRUE(platform::GetFileInfo(dir / L"file", &info));
  EXPECT_FALSE(info.isDirectory);
}

TEST(FileSystem, SingleDirectories) {
  ScratchDirectory dir;
  const std::wstring sub = dir / L"sub";
  EXPECT_TRUE(platform::MakeDirectory(sub));
  EXPECT_FALSE(platform::MakeDirectory(sub));
  EXPECT_EQ(platform::LastError(), platform::kErrorAlreadyExists);
  EXPECT_FALSE(platform::MakeDirectory(dir / L"nodir\\sub"));
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);

  ASSERT_TRUE(WriteWholeFile(sub + L"\\inside.bin", "x"));
  EXPECT_FALSE(platform::RemoveEmptyDirectory(sub));
  EXPECT_EQ(platform::LastError(), platform::kErrorDirNotEmpty);
  ASSERT_TRUE(platform::RemoveFile(sub + L"\\inside.bin"));
  EXPECT_TRUE(platform::RemoveEmptyDirectory(sub));
  EXPECT_FALSE(platform::PathExists(sub));
  EXPECT_FALSE(platform::RemoveEmptyDirectory(sub));
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
}

TEST(FileSystem, ListDirectoryGivesEntriesWithInfo) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"five.bin", "12345"));
  ASSERT_TRUE(WriteWholeFile(dir / L"locked.bin", "1"));
  ASSERT_TRUE(platform::SetReadOnly(dir / L"locked.bin", true));
  ASSERT_TRUE(platform::MakeDirectory(dir / L"sub"));
  ASSERT_TRUE(WriteWholeFile(dir / L"sub\\deeper.bin", "not listed"));

  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(dir.path(), &entries));
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, L"five.bin");
  EXPECT_EQ(entries[0].info.size, 5u);
  EXPECT_FALSE(entries[0].info.isDirectory);
  EXPECT_FALSE(entries[0].info.readOnly);
  EXPECT_EQ(entries[1].name, L"locked.bin");
  EXPECT_TRUE(entries[1].info.readOnly);
  EXPECT_EQ(entries[2].name, L"sub");
  EXPECT_TRUE(entries[2].info.isDirectory);
  EXPECT_EQ(entries[2].info.size, 0u);

  // A trailing backslash is the same directory; an empty one lists nothing.
  ASSERT_TRUE(platform::ListDirectory(dir / L"sub\\", &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, L"deeper.bin");
  ASSERT_TRUE(platform::MakeDirectory(dir / L"empty"));
  ASSERT_TRUE(platform::ListDirectory(dir / L"empty", &entries));
  EXPECT_TRUE(entries.empty());

  EXPECT_FALSE(platform::ListDirectory(dir / L"missing", &entries));
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);
}

TEST(FileSystem, DiskFreeSpaceOfTheTempFolder) {
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
  ASSERT_TRUE(platform::DiskFreeSpace(platform::TempFolder(), &freeBytes, &totalBytes));
  EXPECT_GT(freeBytes, 0u);
  EXPECT_GE(totalBytes, freeBytes);

  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"file", "x"));
  EXPECT_FALSE(platform::DiskFreeSpace(dir / L"file", &freeBytes, &totalBytes));
  EXPECT_EQ(platform::LastError(), platform::kErrorDirectory);
}

// Wine 8 accepts DefineDosDeviceW but does not resolve file paths through the new drive.
bool IsWindowsTarget() { return sizeof(wchar_t) == 2; }

TEST(FileSystem, MappedDriveLeadsIntoItsDirectory) {
  ScratchDirectory dir;
  ASSERT_TRUE(platform::MakeDirectory(dir / L"root"));
  const wchar_t letter = L'Q';
  ASSERT_FALSE(platform::PathExists(L"Q:\\")) << "drive Q: is in use";
  ASSERT_TRUE(platform::MapDrive(letter, dir / L"root"));
  const bool resolves = platform::PathExists(L"Q:\\");
  uint32_t treeResult = 0;
  bool created = false;
  if (resolves) {
    treeResult = platform::MakeDirectoryTree(L"Q:\\x");
    created = WriteWholeFile(L"Q:\\x\\y.bin", "via Q");
  }
  EXPECT_TRUE(platform::UnmapDrive(letter));
  EXPECT_FALSE(platform::PathExists(L"Q:\\x\\y.bin"));

  if (!resolves && IsWindowsTarget()) {
    GTEST_SKIP() << "DefineDosDeviceW succeeded but Q:\\ does not resolve: Wine records the drive "
                    "without routing file access through it";
  }
  ASSERT_TRUE(resolves) << "the mapped drive's root is not visible";
  EXPECT_EQ(treeResult, platform::kErrorSuccess);
  EXPECT_TRUE(created);
  EXPECT_EQ(ReadWholeFile(dir / L"root\\x\\y.bin"), "via Q");
}

}  // namespace
