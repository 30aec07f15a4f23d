#include "util/file_utils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "support/file_test_support.h"
#include "platform/path.h"
#include "util/common_utils.h"

namespace {

using file_test::ReadWholeFile;
using file_test::ScratchDirectory;
using file_test::WriteWholeFile;

// Opens a file for reading without any sharing, as another program holding it would.
class HeldOpen {
 public:
  explicit HeldOpen(const std::wstring& path) {
    platform::FileOpenParams params;
    params.access = platform::FileAccess::Read;
    params.share = platform::kShareNone;
    file_ = platform::OpenFile(path, params);
    EXPECT_NE(file_, nullptr) << "cannot hold the file open";
  }
  ~HeldOpen() { Release(); }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  void Release() {
    if (file_ != nullptr) platform::CloseFile(file_);
    file_ = nullptr;
  }

 private:
  platform::NativeFile file_ = nullptr;
};

// A letter no drive uses, or 0.
wchar_t UnusedDriveLetter() {
  const uint32_t used = platform::LogicalDriveMask();
  for (wchar_t letter = L'Y'; letter >= L'K'; --letter) {
    if ((used & (1u << (letter - L'A'))) == 0 && !platform::PathExists(std::wstring(1, letter) + L":\\")) {
      return letter;
    }
  }
  return 0;
}

std::vector<std::wstring> Names(const std::wstring& dir) {
  std::vector<platform::DirectoryEntry> entries;
  platform::ListDirectory(dir, &entries);
  std::vector<std::wstring> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  return names;
}

}  // namespace

TEST(FileUtilsPathText, NormalizeParentAndName) {
  struct Case {
    const wchar_t* path;
    const wchar_t* normalized;
    const wchar_t* parent;
    const wchar_t* name;
  };
  const Case cases[] = {
      {L"C:/a//b\\", L"C:\\a\\b", L"C:\\a", L"b"},
      {L"C:\\a", L"C:\\a", L"C:", L"a"},
      {L"abc", L"abc", L"", L"abc"},
      {L"", L"", L"", L""},
      {L"C:\\", L"C:", L"", L"C:"},
      {L"\\\\server\\\\\\share/x.txt", L"\\server\\share\\x.txt", L"\\server\\share", L"x.txt"},
      {L"a\\\\\\", L"a", L"", L"a"},
      {L"/", L"", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "path index " << (&c - cases));
    EXPECT_EQ(FileUtils::NormalizePath(c.path), c.normalized);
    EXPECT_EQ(FileUtils::GetParentDir(c.path), c.parent);
    EXPECT_EQ(FileUtils::GetFileName(c.path), c.name);
  }
}

TEST(FileUtilsPathText, ValidInstallPaths) {
  struct Case {
    const wchar_t* path;
    bool valid;
  };
  const Case cases[] = {
      {L"C:\\Games\\X", true},   {L"D:", true},
      {L"C:\\Ga*mes", false},    {L"\\\\server\\share", false},
      {L"C:\\a/b", false},       {L"C:\\a:b", false},
      {L"C:\\a?", false},        {L"C:\\\"a\"", false},
      {L"C:\\<a>", false},       {L"C:\\a|b", false},
      {L"C", false},             {L"", false},
      {L"Games\\X", false},      {L"C:\\游戏\\目录", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileUtils::IsValidInstallPath(c.path), c.valid) << testing::PrintToString(std::wstring(c.path));
  }
}

TEST(FileUtilsDrives, DriveExistsByItsFirstTwoCharacters) {
  EXPECT_TRUE(FileUtils::DriveExists(L"C:\\no\\such\\folder"));
  const wchar_t unused = UnusedDriveLetter();
  ASSERT_NE(unused, 0);
  EXPECT_FALSE(FileUtils::DriveExists(std::wstring(1, unused) + L":\\Games"));
  EXPECT_FALSE(FileUtils::DriveExists(L""));
}

TEST(FileUtilsFiles, CreateDirMakesParentsAndRefusesAFileInTheWay) {
  ScratchDirectory dir;
  EXPECT_TRUE(FileUtils::CreateDir(dir / L"a\\b\\c"));
  platform::FileInfo info;
  ASSERT_TRUE(platform::GetFileInfo(dir / L"a\\b\\c", &info));
  EXPECT_TRUE(info.isDirectory);
  EXPECT_TRUE(FileUtils::CreateDir(dir / L"a\\b\\c"));  // already there

  // A file where the directory should be, or in place of a parent: no directory, no success.
  ASSERT_TRUE(WriteWholeFile(dir / L"file", "x"));
  EXPECT_FALSE(FileUtils::CreateDir(dir / L"file"));
  EXPECT_FALSE(FileUtils::CreateDir(dir / L"file\\sub"));
  EXPECT_EQ(ReadWholeFile(dir / L"file"), "x");
}

TEST(FileUtilsFiles, CreateEmptyFileMakesParentsAndEmptiesAnExistingFile) {
  ScratchDirectory dir;
  EXPECT_TRUE(FileUtils::CreateEmptyFile(dir / L"x\\y\\new.txt"));
  EXPECT_EQ(ReadWholeFile(dir / L"x\\y\\new.txt"), "");

  ASSERT_TRUE(WriteWholeFile(dir / L"old.txt", "contents"));
  EXPECT_TRUE(FileUtils::CreateEmptyFile(dir / L"old.txt"));
  EXPECT_EQ(FileUtils::GetFileLength(dir / L"old.txt"), 0);

  ASSERT_TRUE(WriteWholeFile(dir / L"locked.txt", "keep"));
  ASSERT_TRUE(platform::SetReadOnly(dir / L"locked.txt", true));
  EXPECT_FALSE(FileUtils::CreateEmptyFile(dir / L"locked.txt"));
  EXPECT_EQ(ReadWholeFile(dir / L"locked.txt"), "keep");
}

TEST(FileUtilsFiles, RemoveFileCountsAMissingFileAsRemoved) {
  ScratchDirectory dir;
  EXPECT_TRUE(FileUtils::RemoveFile(dir / L"missing"));
  ASSERT_TRUE(WriteWholeFile(dir / L"f", "x"));
  {
    HeldOpen held(dir / L"f");
    EXPECT_FALSE(FileUtils::RemoveFile(dir / L"f"));
  }
  EXPECT_TRUE(FileUtils::RemoveFile(dir / L"f"));
  EXPECT_FALSE(platform::PathExists(dir / L"f"));
}

TEST(FileUtilsMove, RetriesAgainstALockedTargetWithGrowingSleeps) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"from", "new"));
  ASSERT_TRUE(WriteWholeFile(dir / L"to", "old"));
  std::vector<uint32_t> sleeps;
  const auto record = [&sleeps](uint32_t ms) { sleeps.push_back(ms); };
  {
    HeldOpen held(dir / L"to");
    EXPECT_FALSE(FileUtils::MoveFileReplace(dir / L"from", dir / L"to", 2, record));
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{1, 101, 201}));  // three attempts, a sleep after each

    sleeps.clear();
    EXPECT_FALSE(FileUtils::MoveFileReplace(dir / L"from", dir / L"to", 0, record));
    EXPECT_TRUE(sleeps.empty());
  }
  EXPECT_EQ(ReadWholeFile(dir / L"from"), "new");

  sleeps.clear();
  EXPECT_TRUE(FileUtils::MoveFileReplace(dir / L"from", dir / L"to", 2, record));
  EXPECT_TRUE(sleeps.empty());
  EXPECT_EQ(ReadWholeFile(dir / L"to"), "new");
  EXPECT_FALSE(platform::PathExists(dir / L"from"));

  // A missing source fails at once.
  EXPECT_FALSE(FileUtils::MoveFileReplace(dir / L"from", dir / L"to", 2, record));
  EXPECT_TRUE(sleeps.empty());
}

TEST(FileUtilsMove, RealSleepsAddUpBeforeGivingUp) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"from", "new"));
  ASSERT_TRUE(WriteWholeFile(dir / L"to", "old"));
  HeldOpen held(dir / L"to");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(FileUtils::MoveFileReplace(dir / L"from", dir / L"to", 2));
  // 1 + 101 + 201 ms of sleeps; a generous lower bound only.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(280));
}

TEST(FileUtilsFiles, GetFileLengthFallsBackToTheDirectoryEntry) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"five", "12345"));
  EXPECT_EQ(FileUtils::GetFileLength(dir / L"five"), 5);
  {
    HeldOpen held(dir / L"five");  // refuses a reading open: the size comes from the entry
    EXPECT_EQ(FileUtils::GetFileLength(dir / L"five"), 5);
  }
  EXPECT_EQ(FileUtils::GetFileLength(dir / L"missing"), -1);
  EXPECT_EQ(FileUtils::GetFileLength(dir / L"missing\\deeper"), -1);
}

TEST(FileUtilsDelete, DeletesATreeWithReadOnlyFilesAndKeepsSiblings) {
  ScratchDirectory dir;
  ASSERT_TRUE(FileUtils::CreateDir(dir / L"tree\\sub\\deep"));
  ASSERT_TRUE(WriteWholeFile(dir / L"tree\\a.txt", "a"));
  ASSERT_TRUE(WriteWholeFile(dir / L"tree\\sub\\ro.txt", "ro"));
  ASSERT_TRUE(platform::SetReadOnly(dir / L"tree\\sub\\ro.txt", true));
  ASSERT_TRUE(WriteWholeFile(dir / L"tree\\sub\\deep\\b.txt", "b"));
  ASSERT_TRUE(WriteWholeFile(dir / L"treeSibling", "keep"));
  ASSERT_TRUE(FileUtils::CreateDir(dir / L"tree2"));
  ASSERT_TRUE(WriteWholeFile(dir / L"tree2\\c.txt", "c"));

  EXPECT_TRUE(FileUtils::DeleteDirectory(dir / L"tree\\"));
  EXPECT_FALSE(platform::PathExists(dir / L"tree"));
  // Without the trailing backslash the names still join with one.
  EXPECT_TRUE(FileUtils::DeleteDirectory(dir / L"tree2"));
  EXPECT_FALSE(platform::PathExists(dir / L"tree2"));
  EXPECT_EQ(Names(dir.path()), std::vector<std::wstring>{L"treeSibling"});
  // Nothing to delete.
  EXPECT_TRUE(FileUtils::DeleteDirectory(dir / L"tree\\"));
  EXPECT_FALSE(FileUtils::DeleteDirectory(L""));
}

TEST(FileUtilsDelete, FailsWhenAFileInsideIsHeldOpen) {
  ScratchDirectory dir;
  ASSERT_TRUE(FileUtils::CreateDir(dir / L"tree"));
  ASSERT_TRUE(WriteWholeFile(dir / L"tree\\held.txt", "h"));
  ASSERT_TRUE(WriteWholeFile(dir / L"tree\\free.txt", "f"));
  {
    HeldOpen held(dir / L"tree\\held.txt");
    EXPECT_FALSE(FileUtils::DeleteDirectory(dir / L"tree\\"));
  }
  EXPECT_EQ(Names(dir / L"tree"), std::vector<std::wstring>{L"held.txt"});
}

TEST(FileUtilsDelete, RefusesTheRootAndDriveRoots) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"keep", "k"));
  EXPECT_TRUE(FileUtils::DeleteDirectory(L"\\"));
  EXPECT_TRUE(FileUtils::DeleteDirectory(L"/"));
  EXPECT_EQ(ReadWholeFile(dir / L"keep"), "k");

  // A drive whose root is the scratch directory: its root must survive too.
  const wchar_t letter = UnusedDriveLetter();
  ASSERT_NE(letter, 0);
  ASSERT_TRUE(platform::MapDrive(letter, dir.path()));
  const std::wstring drive(1, letter);
  const bool resolves = platform::PathExists(drive + L":\\keep");
  bool rootRefused = false;
  bool bareRefused = false;
  if (resolves) {
    rootRefused = FileUtils::DeleteDirectory(drive + L":\\");
    bareRefused = FileUtils::DeleteDirectory(drive + L":");
  }
  EXPECT_TRUE(platform::UnmapDrive(letter));
  EXPECT_EQ(ReadWholeFile(dir / L"keep"), "k");
  if (!resolves && sizeof(wchar_t) == 2) GTEST_SKIP() << "Wine does not route paths through a mapped drive";
  ASSERT_TRUE(resolves);
  EXPECT_TRUE(rootRefused);
  EXPECT_TRUE(bareRefused);
}

TEST(FileUtilsFiles, ClearReadOnlyKeepsTheFile) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"f", "x"));
  ASSERT_TRUE(platform::SetReadOnly(dir / L"f", true));
  EXPECT_TRUE(FileUtils::ClearReadOnly(dir / L"f"));
  platform::FileInfo info;
  ASSERT_TRUE(platform::GetFileInfo(dir / L"f", &info));
  EXPECT_FALSE(info.readOnly);
  EXPECT_TRUE(WriteWholeFile(dir / L"f", "y"));
  EXPECT_FALSE(FileUtils::ClearReadOnly(dir / L"missing"));
}

TEST(FileUtilsFiles, ModifiedTimeInUnixSecondsAndRelativeToTheProgram) {
  ScratchDirectory dir;
  ASSERT_TRUE(WriteWholeFile(dir / L"f", "x"));
  // 2020-01-02 03:04:05 UTC.
  const uint64_t fileTime = 116444736000000000ULL + 1577934245ULL * 10000000ULL;
  ASSERT_TRUE(platform::SetLastWriteTime(dir / L"f", fileTime));
  int64_t seconds = 0;
  EXPECT_TRUE(FileUtils::GetFileModifiedTime(dir / L"f", &seconds));
  EXPECT_EQ(seconds, 1577934245);
  EXPECT_FALSE(FileUtils::GetFileModifiedTime(dir / L"missing", &seconds));

  // A path without a drive is looked up beside the program.
  const std::wstring self = FileUtils::GetFileName(platform::ModuleFilePath());
  platform::FileInfo info;
  ASSERT_TRUE(platform::GetFileInfo(platform::ModuleFilePath(), &info));
  EXPECT_TRUE(FileUtils::GetFileModifiedTime(self, &seconds));
  EXPECT_EQ(seconds, CommonUtils::FileTimeToUnixTime(info.lastWriteTime));
}

TEST(FileUtilsWritable, ProbesTheNearestExistingAncestorAndLeavesNothing) {
  ScratchDirectory dir;
  EXPECT_TRUE(FileUtils::CanWriteDir(dir.path()));
  EXPECT_TRUE(FileUtils::CanWriteDir(dir / L"a\\b\\c"));
  EXPECT_TRUE(Names(dir.path()).empty()) << "the probe or a directory was left behind";

  // The nearest existing "ancestor" is a file: nothing can be made in it.
  ASSERT_TRUE(WriteWholeFile(dir / L"file", "x"));
  EXPECT_FALSE(FileUtils::CanWriteDir(dir / L"file\\sub\\deeper"));

  const wchar_t unused = UnusedDriveLetter();
  ASSERT_NE(unused, 0);
  EXPECT_FALSE(FileUtils::CanWriteDir(std::wstring(1, unused) + L":\\x\\y\\z"));
  EXPECT_FALSE(FileUtils::CanWriteDir(L"relative\\never\\there"));
}
