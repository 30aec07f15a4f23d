#pragma once
// Byte strings written as hex for the binary form tests: "01 AC 02".
#include <cstdio>
#include <string>

namespace hex_bytes {

inline std::string FromHex(const std::string& hex) {
  std::string bytes;
  int high = -1;
  for (char c : hex) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + digit));
      high = -1;
    }
  }
  return bytes;
}

inline std::string ToHex(const std::string& bytes) {
  std::string hex;
  char part[4];
  for (unsigned char c : bytes) {
    std::snprintf(part, sizeof part, hex.empty() ? "%02X" : " %02X", c);
    hex += part;
  }
  return hex;
}

inline std::string Repeat(const std::string& hex, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += hex + " ";
  return all;
}

}  // namespace hex_bytes
