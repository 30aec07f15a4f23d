#pragma once
// Log lines to a file as bare UTF-16 little-endian text (no byte-order mark), one write and one
// flush per line. Takes lines only while a file is attached; the running system attaches none.
#include <cstdio>
#include <string>

#include "logger/base_logger.h"
#include "thread/singleton.h"

class FileLogger : public BaseLogger, public CSingleton<FileLogger> {
 public:
  bool IsEnabled() override;

  // Attaches an open stream (binary mode); the caller keeps ownership. Returns the stream that
  // was attached before, or null.
  std::FILE* AttachFile(std::FILE* file);
  // Detaches and returns the current stream.
  std::FILE* DetachFile() { return AttachFile(nullptr); }

 protected:
  void Output(const std::wstring& line) override;

 private:
  friend class CSingleton<FileLogger>;
  FileLogger();
  ~FileLogger() override;

  std::FILE* file_ = nullptr;
};
