#include "engine/task_meta_file.h"

#include <gtest/gtest.h>

#include <string>

#include "commonlib/core/proto_value_binary.h"
#include "engine/task_file_names.h"
#include "support/file_test_support.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "support/trace_lines.h"

namespace {

using file_test::ReadWholeFile;
using file_test::ScratchDirectory;
using file_test::WriteWholeFile;

ProtoValue SampleRecord(int64_t size) {
  ProtoValue record;
  record[L"fs"] = size;
  record[L"fh"] = L"0123456789abcdef";
  ProtoValue gap;
  gap[L"start"] = 5;
  gap[L"end"] = 99;
  record[L"gl"].append(gap);
  return record;
}

std::string Encode(const ProtoValue& value) {
  std::string bytes;
  EXPECT_TRUE(ProtoValueToBinary(value, bytes));
  return bytes;
}

TEST(TaskFileNamesTest, ExtensionsAreAppendedToTheFinalPath) {
  const std::wstring full = TaskFullPath(L"D:\\x", L"setup.exe");
  EXPECT_EQ(full, L"D:\\x\\setup.exe");
  EXPECT_EQ(TaskDataFilePath(full), L"D:\\x\\setup.exe.qbdt");
  EXPECT_EQ(TaskMetaFilePath(TaskDataFilePath(full)), L"D:\\x\\setup.exe.qbdt.qbmt");
  EXPECT_EQ(TaskMetaBackupPath(L"D:\\x\\setup.exe.qbdt.qbmt"), L"D:\\x\\setup.exe.qbdt.qbmt.mbk");
}

TEST(TaskMetaFileTest, SavedRecordLoadsBackAndLeavesNoBackup) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"a.qbmt";
  CTaskMetaFile saved;
  saved.path = path;
  saved.root = SampleRecord(1234);
  ASSERT_TRUE(saved.Save());
  EXPECT_FALSE(platform::PathExists(TaskMetaBackupPath(path)));
  EXPECT_EQ(ReadWholeFile(path), Encode(saved.root));

  CTaskMetaFile loaded;
  ASSERT_TRUE(loaded.LoadFile(path));
  EXPECT_EQ(loaded.path, path);
  EXPECT_TRUE(loaded.root == saved.root);
  EXPECT_FALSE(loaded.file.IsOpen());
}

TEST(TaskMetaFileTest, SaveReplacesAnExistingMetaFile) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"a.qbmt";
  ASSERT_TRUE(WriteWholeFile(path, Encode(SampleRecord(1))));
  CTaskMetaFile meta;
  meta.path = path;
  meta.root = SampleRecord(2);
  ASSERT_TRUE(meta.Save());
  CTaskMetaFile loaded;
  ASSERT_TRUE(loaded.LoadFile(path));
  EXPECT_EQ(loaded.root.get(L"fs").integer(), 2);
}

TEST(TaskMetaFileTest, StaleBytesOfALongerBackupTravelWithTheRecordAndAreIgnored) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"a.qbmt";
  // An earlier save that was cut short left a long backup behind.
  ASSERT_TRUE(WriteWholeFile(TaskMetaBackupPath(path), std::string(1000, '\x7f')));
  CTaskMetaFile meta;
  meta.path = path;
  meta.root = SampleRecord(600);
  ASSERT_TRUE(meta.Save());
  const std::string record = Encode(meta.root);
  const std::string stored = ReadWholeFile(path);
  ASSERT_EQ(stored.size(), 1000u);
  EXPECT_EQ(stored.substr(0, record.size()), record);

  CTaskMetaFile loaded;
  ASSERT_TRUE(loaded.LoadFile(path));
  EXPECT_TRUE(loaded.root == meta.root);
}

TEST(TaskMetaFileTest, EmptyRecordIsNotSaved) {
  ScratchDirectory dir;
  CTaskMetaFile meta;
  meta.path = dir / L"a.qbmt";
  EXPECT_FALSE(meta.Save());
  meta.root = ProtoValue(ProtoValueType::Map);
  EXPECT_FALSE(meta.Save());
  EXPECT_FALSE(platform::PathExists(meta.path));
  EXPECT_FALSE(platform::PathExists(TaskMetaBackupPath(meta.path)));
}

TEST(TaskMetaFileTest, UnopenableBackupKeepsThePreviousMetaFile) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"a.qbmt";
  const std::string previous = Encode(SampleRecord(1));
  ASSERT_TRUE(WriteWholeFile(path, previous));
  // A directory in the backup's place cannot be opened as a file.
  ASSERT_TRUE(platform::MakeDirectory(TaskMetaBackupPath(path)));
  TraceLines trace;
  CTaskMetaFile meta;
  meta.path = path;
  meta.root = SampleRecord(2);
  EXPECT_FALSE(meta.Save());
  EXPECT_EQ(meta.errorType, 1);
  EXPECT_EQ(meta.errorCode, static_cast<int32_t>(platform::kErrorAccessDenied));
  EXPECT_EQ(trace.LinesContaining(L"[CTaskMetaFile::Save]打开错误 1:5 ").size(), 1u);
  EXPECT_EQ(ReadWholeFile(path), previous);
}

TEST(TaskMetaFileTest, MissingFileFailsWithTheSystemError) {
  ScratchDirectory dir;
  TraceLines trace;
  CTaskMetaFile meta;
  meta.root = SampleRecord(3);
  EXPECT_FALSE(meta.LoadFile(dir / L"none.qbmt"));
  EXPECT_EQ(meta.path, dir / L"none.qbmt");
  EXPECT_EQ(meta.errorType, 1);
  EXPECT_EQ(meta.errorCode, static_cast<int32_t>(platform::kErrorFileNotFound));
  EXPECT_TRUE(meta.root.isNull());
  EXPECT_EQ(trace.LinesContaining(L"[CTaskMetaFile::LoadFile]打开错误 1:2 ").size(), 1u);
}

TEST(TaskMetaFileTest, UnusableContentFailsWithoutARecord) {
  const std::string whole = Encode(SampleRecord(77));
  const struct {
    const char* name;
    std::string bytes;
    const wchar_t* logged;  // null: no line expected from the load
  } cases[] = {
      {"empty", std::string(), L"下载配置文件没有内容 "},
      {"truncated", whole.substr(0, whole.size() - 3), nullptr},
      {"a value that is not a map", Encode(ProtoValue(int64_t{42})), nullptr},
      {"garbage", std::string(64, '\xff'), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory dir;
    const std::wstring path = dir / L"a.qbmt";
    ASSERT_TRUE(WriteWholeFile(path, c.bytes));
    TraceLines trace;
    CTaskMetaFile meta;
    meta.root = SampleRecord(1);
    EXPECT_FALSE(meta.LoadFile(path));
    EXPECT_TRUE(meta.root.isNull());
    EXPECT_FALSE(meta.file.IsOpen());
    if (c.logged != nullptr) {
      EXPECT_EQ(trace.LinesContaining(c.logged).size(), 1u);
    }
    // The file is closed again: it can be replaced.
    EXPECT_TRUE(platform::RemoveFile(path));
  }
}

TEST(TaskMetaFileTest, DeleteRemovesTheFileAndLogsEvenWhenItIsMissing) {
  ScratchDirectory dir;
  const std::wstring path = dir / L"a.qbmt";
  ASSERT_TRUE(WriteWholeFile(path, Encode(SampleRecord(1))));
  CTaskMetaFile meta;
  ASSERT_TRUE(meta.LoadFile(path));
  for (int round = 0; round < 2; ++round) {
    TraceLines trace;
    meta.Delete();
    EXPECT_FALSE(platform::PathExists(path));
    EXPECT_EQ(trace.LinesContaining(L"配置零时文件已经删除完毕").size(), 1u) << "round " << round;
  }
}

}  // namespace
