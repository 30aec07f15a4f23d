#include "logger/trace_logger.h"

#include "platform/debug_output.h"

TraceLogger::TraceLogger() { SetFormat(std::make_unique<LogFormat>()); }

TraceLogger::~TraceLogger() = default;

bool TraceLogger::IsEnabled() {
  CScopedLock guard(lock_);
  return HasFormat() && enabled_;
}

void TraceLogger::SetEnabled(bool enabled) {
  CScopedLock guard(lock_);
  enabled_ = enabled;
}

void TraceLogger::SetSink(Sink sink) {
  CScopedLock guard(lock_);
  sink_ = std::move(sink);
}

void TraceLogger::Output(const std::wstring& line) {
  CScopedLock guard(lock_);
  if (!IsEnabled()) return;
  if (sink_) {
    sink_(line);
  } else {
    platform::DebugOutput(line);
  }
}
