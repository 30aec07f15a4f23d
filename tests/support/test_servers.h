#pragma once
// The test HTTP servers that tools/run_with_test_servers.py starts around a suite: their
// addresses arrive in DEVU_TEST_SERVERS as "host:port:https_port;..." (one per server).
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

struct TestServer {
  std::string host;
  uint16_t port = 0;
  uint16_t httpsPort = 0;

  std::wstring Url(const std::string& path) const { return Wide("http://" + host + ":" + std::to_string(port) + path); }
  std::wstring HttpsUrl(const std::string& path) const {
    return Wide("https://" + host + ":" + std::to_string(httpsPort) + path);
  }
  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
};

// The servers in address order; empty when the suite runs without them.
inline std::vector<TestServer> TestServers() {
  std::vector<TestServer> servers;
  const char* text = std::getenv("DEVU_TEST_SERVERS");
  if (text == nullptr) return servers;
  std::stringstream entries(text);
  std::string entry;
  while (std::getline(entries, entry, ';')) {
    std::stringstream fields(entry);
    std::string host, port, httpsPort;
    std::getline(fields, host, ':');
    std::getline(fields, port, ':');
    std::getline(fields, httpsPort, ':');
    servers.push_back({host, static_cast<uint16_t>(std::stoi(port)), static_cast<uint16_t>(std::stoi(httpsPort))});
  }
  return servers;
}

// The byte the servers put at offset `i` of /files/<size>/<seed>.
inline uint8_t ServedByte(uint64_t i, uint64_t seed = 0) { return static_cast<uint8_t>((i * 131 + seed * 7 + (i >> 8)) & 0xFF); }

inline std::string ServedBytes(uint64_t from, uint64_t count, uint64_t seed = 0) {
  std::string bytes(count, '\0');
  for (uint64_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(ServedByte(from + i, seed));
  return bytes;
}
