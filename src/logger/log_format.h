#pragma once
// Which header parts a logger writes, and the level numbers with their tags.
#include <cstdint>

enum LogLevel : int {
  LOG_LEVEL_INFO = 0,
  LOG_LEVEL_WARN = 1,
  LOG_LEVEL_ERRO = 2,
};

constexpr uint32_t LOG_FLAG_TIME = 0x2;  // date, time and tick count
constexpr uint32_t LOG_FLAG_PID = 0x4;
constexpr uint32_t LOG_FLAG_TID = 0x8;

struct LogFormat {
  uint32_t flags = 0xFFFFFFFFu;
  bool appendNewline = true;  // "\r\n" after every line
};
