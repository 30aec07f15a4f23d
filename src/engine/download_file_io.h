#pragma once
// Writes the bytes one HTTP transfer receives into the task's data file, from the block's offset
// on. Every transfer has its own writer and handle; the handles share the file for writing, and
// the blocks never overlap, so no lock is needed. Opened on the UI thread, written on the transfer
// worker thread.
#include <cstdint>
#include <string>

#include "commonlib/core/base_stream.h"
#include "commonlib/core/error_pair.h"
#include "commonlib/core/file_ex.h"

class CQBDownloadFileIO : public OBaseStream {
 public:
  CQBDownloadFileIO() = default;
  ~CQBDownloadFileIO() override;
  CQBDownloadFileIO(const CQBDownloadFileIO&) = delete;
  CQBDownloadFileIO& operator=(const CQBDownloadFileIO&) = delete;

  // Opens the data file (created when missing, never truncated) positioned at `offset`; a file
  // shorter than that is extended by the first write. False with the error pair set on failure.
  bool open(const std::wstring& dataPath, uint64_t offset);
  // `count`, or -1 with the error pair set. Each write continues where the last one ended.
  int32_t Write(const void* buffer, uint32_t count) override;
  // Closes the file and clears the error pair.
  void Close() override;
  void Finish() override {}
  int32_t ErrorCode() const override { return errorCode; }

  // Bytes this writer may still write: the rest of its block. A server that sends more must not
  // overwrite the next block.
  uint64_t remaining = UINT64_MAX;
  int32_t errorCode = 0;
  int32_t errorType = 0;
  std::wstring path;
  CFileEx file;
};
