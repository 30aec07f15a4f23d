#pragma once
// Collects the lines the trace logger hands to the debugger output while it lives.
#include <mutex>
#include <string>
#include <vector>

#include "logger/trace_logger.h"

class TraceLines {
 public:
  TraceLines() {
    TraceLogger::GetInstance()->SetSink([this](const std::wstring& line) {
      std::lock_guard<std::mutex> guard(lock_);
      lines_.push_back(line);
    });
  }
  ~TraceLines() { TraceLogger::GetInstance()->SetSink(nullptr); }
  TraceLines(const TraceLines&) = delete;
  TraceLines& operator=(const TraceLines&) = delete;

  std::vector<std::wstring> lines() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lines_;
  }

  std::vector<std::wstring> LinesContaining(const std::wstring& text) const {
    std::vector<std::wstring> found;
    for (const std::wstring& line : lines()) {
      if (line.find(text) != std::wstring::npos) found.push_back(line);
    }
    return found;
  }

 private:
  mutable std::mutex lock_;
  std::vector<std::wstring> lines_;
};
