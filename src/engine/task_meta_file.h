#pragma once
// The file that keeps a task's resumable state (one ProtoValue record in binary form). A save
// writes the record into a backup file first and then moves that over the meta file, so a save
// cut short leaves the previous record readable.
#include <cstdint>
#include <string>

#include "commonlib/core/file_ex.h"
#include "commonlib/core/proto_value.h"

class CTaskMetaFile {
 public:
  // Remembers `path` and decodes the file's first record into `root`; bytes after it are ignored.
  // False (and `root` null) when the file is missing, empty, unreadable or does not decode to a map.
  bool LoadFile(const std::wstring& path);
  // Stores `root` at `path` through the backup file. False for an empty record, and when the
  // backup cannot be written or moved into place; the previous meta file then stays.
  bool Save();
  // Deletes the meta file; a missing one is fine.
  void Delete();

  ProtoValue root;
  int32_t errorCode = 0;
  int32_t errorType = 0;  // 1: file system error
  CFileEx file;           // open only inside LoadFile and Save
  std::wstring path;
};
