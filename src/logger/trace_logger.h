#pragma once
// Log lines to the debugger output. Enabled from the start; the only sink that writes anything in
// the running system.
#include <functional>
#include <string>

#include "logger/base_logger.h"
#include "thread/singleton.h"

class TraceLogger : public BaseLogger, public CSingleton<TraceLogger> {
 public:
  using Sink = std::function<void(const std::wstring& line)>;

  bool IsEnabled() override;
  void SetEnabled(bool enabled);

  // Sends finished lines to `sink` instead of the debugger output (null restores it); lets tests
  // see exactly what would be written.
  void SetSink(Sink sink);

 protected:
  void Output(const std::wstring& line) override;

 private:
  friend class CSingleton<TraceLogger>;
  TraceLogger();
  ~TraceLogger() override;

  bool enabled_ = true;
  Sink sink_;
};
