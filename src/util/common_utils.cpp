#include "util/common_utils.h"

#include <algorithm>
#include <mutex>

#include "logger/log.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/ids.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/shell_folder.h"
#include "platform/system_info.h"
#include "util/format.h"
#include "util/number_text.h"
#include "util/text_edit.h"

namespace {

bool StartsWithHttps(const std::wstring& url) { return url.size() > 5 && url.compare(0, 5, L"https") == 0; }

// The text after the first "://", all of it when there is none.
std::wstring AfterScheme(const std::wstring& url) {
  const size_t scheme = url.find(L"://");
  return scheme == std::wstring::npos ? url : url.substr(scheme + 3);
}

template <typename Container>
void StableHttpsFirst(Container& urls) {
  std::stable_partition(urls.begin(), urls.end(), StartsWithHttps);
}

}  // namespace

// --- system information

std::wstring CommonUtils::GetModuleDir() {
  static const std::wstring dir = [] {
    const std::wstring file = platform::ModuleFilePath();
    const size_t slash = file.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
  }();
  return dir;
}

std::wstring CommonUtils::GetSpecialFolder(int csidl) { return platform::SpecialFolderPath(csidl); }

uint64_t CommonUtils::GetDiskFreeSpace(const std::wstring& path) {
  uint64_t available = 0;
  std::wstring drive = path.substr(0, 2);
  if (drive.size() == 2 && drive[1] == L':') drive += L'\\';  // the root, not the drive's current folder
  if (!platform::DiskFreeSpace(drive, &available, nullptr)) return 0;
  return available;
}

std::string CommonUtils::GetLocalIP() { return platform::LocalHostFirstIPv4(); }

std::wstring CommonUtils::GetMacAddress() {
  // The adapter list exists from 6.0 on; the SNMP walk serves older systems and machines where the
  // list names no adapter.
  static const std::wstring address = [] {
    if (GetOSMajorVersion() >= 6) {
      std::wstring fromAdapters = platform::AdapterMacAddress();
      if (!fromAdapters.empty()) return fromAdapters;
    }
    return platform::SnmpMacAddress();
  }();
  return address;
}

bool CommonUtils::GetOSVersionNumbers(uint32_t* major, uint32_t* minor, uint32_t* servicePack) {
  platform::OsVersion version;
  if (!platform::TrueOsVersion(&version)) return false;
  if (major != nullptr) *major = version.major;
  if (minor != nullptr) *minor = version.minor;
  if (servicePack != nullptr) *servicePack = version.servicePackMajor;
  return true;
}

bool CommonUtils::IsServerOS() { return platform::IsServerSystem(); }

namespace {
bool AtLeast62(uint32_t major, uint32_t minor) { return major > 6 || (major == 6 && minor >= 2); }
}  // namespace

int CommonUtils::GetOSMajorVersion() {
  platform::OsVersion reported;
  if (!platform::ReportedOsVersion(&reported)) return 6;
  uint32_t major = reported.major;
  if (AtLeast62(reported.major, reported.minor)) {
    uint32_t trueMajor = 0;
    if (GetOSVersionNumbers(&trueMajor, nullptr, nullptr)) major = trueMajor;
  }
  return static_cast<int>(major);
}

std::wstring CommonUtils::GetOSName() {
  platform::OsVersion reported;
  if (!platform::ReportedOsVersion(&reported)) return {};
  if (AtLeast62(reported.major, reported.minor)) {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t servicePack = 0;
    if (GetOSVersionNumbers(&major, &minor, &servicePack)) {
      std::wstring name = OsNameFromTrueVersion(major, minor, servicePack, IsServerOS());
      if (!name.empty()) return name;
    }
  }
  return OsNameFromVersion(reported.major, reported.minor, reported.platformId, reported.productType,
                           platform::ProcessorArchitecture() == platform::kProcessorArchitectureAmd64,
                           platform::IsServerR2());
}

std::wstring CommonUtils::OsNameFromTrueVersion(uint32_t major, uint32_t minor, uint32_t servicePack,
                                                bool server) {
  const wchar_t* format = nullptr;
  if (major == 6 && minor == 2) {
    format = server ? L"Microsoft Windows Server 2012 SP%d" : L"Microsoft Windows 8 SP%d";
  } else if (major == 6 && minor == 3) {
    format = server ? L"Microsoft Windows Server 2012 R2 SP%d" : L"Microsoft Windows 8.1 SP%d";
  } else if (major == 10 && minor == 0) {
    format = server ? L"Microsoft Windows Server Technical Preview SP%d" : L"Microsoft Windows 10 SP%d";
  }
  if (format == nullptr) return {};
  return FormatW(format, static_cast<int32_t>(servicePack));
}

std::wstring CommonUtils::OsNameFromVersion(uint32_t major, uint32_t minor, uint32_t platformId,
                                            uint32_t productType, bool x64Processor, bool serverR2) {
  const bool workstation = productType == platform::kProductWorkstation;
  switch (major) {
    case 4:
      if (minor == 0) {
        if (platformId == 2) return L"Microsoft Windows NT 4.0";
        if (platformId == 1) return L"Microsoft Windows 95";
        return {};
      }
      if (minor == 10) return L"Microsoft Windows 98";
      if (minor == 90) return L"Microsoft Windows Me";
      return {};
    case 5:
      if (minor == 0) return L"Microsoft Windows 2000";
      if (minor == 1) return L"Microsoft Windows XP";
      if (minor == 2) {
        if (workstation && x64Processor) return L"Microsoft Windows XP Professional x64 Edition";
        if (serverR2) return L"Microsoft Windows Server 2003 R2";
        return L"Microsoft Windows Server 2003";
      }
      return {};
    case 6:
      if (minor == 0) return workstation ? L"Microsoft Windows Vista" : L"Microsoft Windows Server 2008";
      if (minor == 1) return workstation ? L"Microsoft Windows 7" : L"Microsoft Windows Server 2008 R2";
      if (minor == 2) return workstation ? L"Microsoft Windows 8" : L"Microsoft Windows Server 2012";
      if (minor == 3) return workstation ? L"Microsoft Windows 8.1" : L"Microsoft Windows Server 2012 R2";
      return {};
    default:
      return L"未知操作系统";
  }
}

// --- formatting and URLs

std::wstring CommonUtils::FormatSize(int64_t bytes, bool spaced) {
  const double count = static_cast<double>(bytes);
  if (count < 1000.0) return FormatW(spaced ? L"%.0f B" : L"%.0fB", count);
  static const wchar_t* const kSpaced[] = {L"%.2f KB", L"%.2f MB", L"%.2f GB", L"%.2f TB"};
  static const wchar_t* const kPlain[] = {L"%.2fKB", L"%.2fMB", L"%.2fGB", L"%.2fTB"};
  double unit = 1024.0;
  size_t index = 0;
  while (index < 3 && count >= 1000.0 * unit) {
    unit *= 1024.0;
    ++index;
  }
  return FormatW(spaced ? kSpaced[index] : kPlain[index], count / unit);
}

std::wstring CommonUtils::FormatTime(int64_t secondsSince1970) {
  platform::LocalDateTime local{};
  if (!platform::UnixTimeToLocal(secondsSince1970, &local)) return {};
  return FormatW(L"%d-%02d-%02d %02d:%02d:%02d", local.year, local.month, local.day, local.hour,
                 local.minute, local.second);
}

int64_t CommonUtils::FileTimeToUnixTime(uint64_t fileTime) {
  constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
  return (static_cast<int64_t>(fileTime) - kUnixEpochAsFileTime) / 10000000LL;
}

bool CommonUtils::IsHttps(const std::wstring& url) { return StartsWithHttps(url); }

std::wstring CommonUtils::GetHostFromUrl(const std::wstring& url) {
  const std::wstring rest = AfterScheme(url);
  size_t end = 0;
  while (end < rest.size()) {
    const wchar_t c = rest[end];
    const bool hostCharacter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
                               (c >= L'0' && c <= L'9') || c == L'.' || c == L'-';
    if (!hostCharacter) break;
    ++end;
  }
  return rest.substr(0, end);
}

int CommonUtils::GetPortFromUrl(const std::wstring& url) {
  const int defaultPort = IsHttps(url) ? 443 : 80;
  const std::wstring rest = AfterScheme(url);
  const size_t colon = rest.find(L':');
  if (colon == std::wstring::npos) return defaultPort;
  size_t end = colon + 1;
  while (end < rest.size() && rest[end] >= L'0' && rest[end] <= L'9') ++end;
  const int port = ToInt(std::wstring_view(rest).substr(colon + 1, end - colon - 1));
  return port == 0 ? defaultPort : port;
}

void CommonUtils::PutHttpsFirst(std::vector<std::wstring>& urls) { StableHttpsFirst(urls); }

void CommonUtils::PutHttpsFirst(std::list<std::wstring>& urls) { StableHttpsFirst(urls); }

bool CommonUtils::IsIPv4Text(const std::wstring& text) {
  if (text.empty()) return false;
  return std::all_of(text.begin(), text.end(), [](wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'.'; });
}

// --- processes

uint32_t CommonUtils::RunProgram(const std::wstring& application, const std::wstring& commandLine,
                                 ProcessStartInfo* info) {
  uint32_t processId = 0;
  uint32_t threadId = 0;
  platform::ProcessHandle process = platform::StartProcess(application, commandLine, &processId, &threadId);
  if (process == nullptr) {
    const uint32_t error = platform::LastError();
    return error != 0 ? error : platform::kErrorGenFailure;
  }
  platform::CloseProcessHandle(process);
  if (info != nullptr) {
    info->processId = processId;
    info->threadId = threadId;
  }
  return 0;
}

uint32_t CommonUtils::FindProcessByPath(const std::wstring& pathPrefix) {
  std::vector<platform::RunningProcess> processes;
  if (!platform::ListProcesses(&processes)) return 0;
  // An empty prefix would name every process.
  if (pathPrefix.empty()) return 0;
  const uint32_t self = platform::CurrentProcessId();
  const std::wstring prefix = ToLowerW(pathPrefix);
  const bool prefixEndsDirectory = prefix.back() == L'\\' || prefix.back() == L'/';
  for (const auto& process : processes) {
    if (process.id == self || process.imagePath.size() < prefix.size()) continue;
    if (ToLowerW(std::wstring_view(process.imagePath).substr(0, prefix.size())) != prefix) continue;
    // The prefix names a whole path element: C:\Games does not reach into C:\Games2.
    const bool wholeElement = prefixEndsDirectory || process.imagePath.size() == prefix.size() ||
                              process.imagePath[prefix.size()] == L'\\';
    if (wholeElement) return process.id;
  }
  return 0;
}

int CommonUtils::KillProcessesByName(const std::wstring& exeName) {
  std::vector<platform::RunningProcess> processes;
  if (!platform::ListProcesses(&processes)) return 0;
  int matches = 0;
  for (const auto& process : processes) {
    if (process.exeName != exeName) continue;
    ++matches;
    platform::ProcessHandle handle = platform::OpenProcessById(process.id);
    if (handle == nullptr) {
      LOG_ERRO(L"OpenProcess Error!");
      continue;
    }
    platform::TerminateProcess(handle, 0);
    platform::CloseProcessHandle(handle);
  }
  return matches;
}

bool CommonUtils::EnableDebugPrivilege() {
  if (platform::EnableDebugPrivilege()) return true;
  return platform::LastError() == platform::kErrorCallNotImplemented;
}
