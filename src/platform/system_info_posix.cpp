#include "platform/system_info.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace platform {

namespace {

std::mutex gVersionLock;
OsVersion gTrueVersion{10, 0, 19045, 2, 0, kProductWorkstation};

OsVersion CurrentTrueVersion() {
  std::lock_guard<std::mutex> guard(gVersionLock);
  return gTrueVersion;
}

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

bool ReportedOsVersion(OsVersion* version) {
  OsVersion reported = CurrentTrueVersion();
  const bool newer = reported.major > 6 || (reported.major == 6 && reported.minor > 2);
  if (newer) {
    reported.major = 6;
    reported.minor = 2;
    reported.build = 9200;
  }
  *version = reported;
  return true;
}

bool TrueOsVersion(OsVersion* version) {
  *version = CurrentTrueVersion();
  return true;
}

bool IsServerSystem() { return CurrentTrueVersion().productType != kProductWorkstation; }

uint16_t ProcessorArchitecture() { return kProcessorArchitectureAmd64; }

bool IsServerR2() { return false; }

bool OverrideOsVersion(const OsVersion& version) {
  std::lock_guard<std::mutex> guard(gVersionLock);
  gTrueVersion = version;
  return true;
}

std::string LocalHostFirstIPv4() {
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return {};
  std::string text;
  char buffer[INET_ADDRSTRLEN] = {};
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  if (inet_ntop(AF_INET, &address->sin_addr, buffer, sizeof(buffer)) != nullptr) text = buffer;
  freeaddrinfo(found);
  return text;
}

std::wstring AdapterMacAddress() {
  std::error_code error;
  std::vector<std::filesystem::path> interfaces;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net", error)) {
    interfaces.push_back(entry.path());
  }
  std::sort(interfaces.begin(), interfaces.end());
  for (const auto& dir : interfaces) {
    if (FirstLine(dir / "operstate") != "up") continue;
    std::string digits;
    for (char c : FirstLine(dir / "address")) {
      if (std::isxdigit(static_cast<unsigned char>(c))) {
        digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
    }
    if (digits.size() < 12) continue;
    digits.resize(12);
    if (digits == "000000000000") continue;
    return std::wstring(digits.begin(), digits.end());
  }
  return {};
}

std::wstring SnmpMacAddress() { return {}; }

}  // namespace platform
