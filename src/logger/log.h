#pragma once
// Log statements. Each goes to the file logger with its source file and line, then to the trace
// logger, with the same level, format and arguments:
//   LOG_INFO(L"task %s started, size %I64u", name.c_str(), size);
//   LOG_ERRO(L"open failed et:%d ec:%d", type, code);
#include "logger/console_logger.h"
#include "logger/file_logger.h"
#include "logger/trace_logger.h"

#define DEVU_LOG_WIDEN2(text) L##text
#define DEVU_LOG_WIDEN(text) DEVU_LOG_WIDEN2(text)

#define DEVU_LOG_AT_LEVEL(level, format, ...)                                                 \
  do {                                                                                        \
    FileLogger::GetInstance()->LogWithLocation((level), __LINE__, DEVU_LOG_WIDEN(__FILE__), \
                                               format __VA_OPT__(, ) __VA_ARGS__);            \
    TraceLogger::GetInstance()->Log((level), format __VA_OPT__(, ) __VA_ARGS__);              \
  } while (0)

#define LOG_INFO(format, ...) DEVU_LOG_AT_LEVEL(LOG_LEVEL_INFO, format __VA_OPT__(, ) __VA_ARGS__)
#define LOG_WARN(format, ...) DEVU_LOG_AT_LEVEL(LOG_LEVEL_WARN, format __VA_OPT__(, ) __VA_ARGS__)
#define LOG_ERRO(format, ...) DEVU_LOG_AT_LEVEL(LOG_LEVEL_ERRO, format __VA_OPT__(, ) __VA_ARGS__)

// The installer's own statements pair the console logger with the file logger.
#define DEVU_CONSOLE_LOG_AT_LEVEL(level, format, ...)                                            \
  do {                                                                                           \
    ConsoleLogger::GetInstance()->LogWithLocation((level), __LINE__, DEVU_LOG_WIDEN(__FILE__),   \
                                                  format __VA_OPT__(, ) __VA_ARGS__);            \
    FileLogger::GetInstance()->LogWithLocation((level), __LINE__, DEVU_LOG_WIDEN(__FILE__),      \
                                               format __VA_OPT__(, ) __VA_ARGS__);               \
  } while (0)

#define CONSOLE_LOG_INFO(format, ...) DEVU_CONSOLE_LOG_AT_LEVEL(LOG_LEVEL_INFO, format __VA_OPT__(, ) __VA_ARGS__)
#define CONSOLE_LOG_ERRO(format, ...) DEVU_CONSOLE_LOG_AT_LEVEL(LOG_LEVEL_ERRO, format __VA_OPT__(, ) __VA_ARGS__)
