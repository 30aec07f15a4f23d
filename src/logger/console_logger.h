#pragma once
// Log lines to standard output. Disabled from the start.
#include <string>

#include "logger/base_logger.h"
#include "thread/singleton.h"

class ConsoleLogger : public BaseLogger, public CSingleton<ConsoleLogger> {
 public:
  bool IsEnabled() override;
  void SetEnabled(bool enabled);

 protected:
  void Output(const std::wstring& line) override;

 private:
  friend class CSingleton<ConsoleLogger>;
  ConsoleLogger();
  ~ConsoleLogger() override;

  bool enabled_ = false;
};
