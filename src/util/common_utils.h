#pragma once
// Questions about the machine (system version and name, special folders, the program's directory,
// free space, network identity), formatting of sizes, times and URLs, and processes. Nothing here
// throws; failures show in the result.
#include <cstdint>
#include <list>
#include <string>
#include <vector>

class CommonUtils {
 public:
  // --- system information
  // Directory of the program's file; computed once. Empty on failure.
  static std::wstring GetModuleDir();
  // A shell special folder by CSIDL; empty on failure.
  static std::wstring GetSpecialFolder(int csidl);
  // Bytes available to the caller on the drive named by the first two characters; 0 on failure.
  static uint64_t GetDiskFreeSpace(const std::wstring& path);
  // The first IPv4 address of the host's own name, dotted; empty when there is none.
  static std::string GetLocalIP();
  // The adapter address text, computed once.
  static std::wstring GetMacAddress();
  // The true version numbers; false when the system cannot tell them.
  static bool GetOSVersionNumbers(uint32_t* major, uint32_t* minor, uint32_t* servicePack);
  static bool IsServerOS();
  static int GetOSMajorVersion();
  static std::wstring GetOSName();

  // The display name for the true version numbers of 6.2, 6.3 and 10.0 (with the service pack);
  // empty for any other version.
  static std::wstring OsNameFromTrueVersion(uint32_t major, uint32_t minor, uint32_t servicePack,
                                            bool server);
  // The display name for the numbers GetVersionExW reports. `productType` 1 is a workstation;
  // `x64Processor`: the processor architecture is x86-64; `serverR2`: SM_SERVERR2 is nonzero.
  static std::wstring OsNameFromVersion(uint32_t major, uint32_t minor, uint32_t platformId,
                                        uint32_t productType, bool x64Processor, bool serverR2);

  // --- formatting and URLs
  // "999B", "0.98 KB", "1.00 MB", ... up to TB; at most 259 characters.
  static std::wstring FormatSize(int64_t bytes, bool spaced);
  // Local time as "YYYY-MM-DD hh:mm:ss"; empty when the time cannot be converted.
  static std::wstring FormatTime(int64_t secondsSince1970);
  static int64_t FileTimeToUnixTime(uint64_t fileTime);
  static bool IsHttps(const std::wstring& url);
  static std::wstring GetHostFromUrl(const std::wstring& url);
  static int GetPortFromUrl(const std::wstring& url);
  // https URLs first, each group in its order.
  static void PutHttpsFirst(std::vector<std::wstring>& urls);
  static void PutHttpsFirst(std::list<std::wstring>& urls);
  static bool IsIPv4Text(const std::wstring& text);

  // --- processes
  struct ProcessStartInfo {
    uint32_t processId = 0;
    uint32_t threadId = 0;
  };
  // Starts a program without waiting. 0 on success, else the system's error number.
  static uint32_t RunProgram(const std::wstring& application, const std::wstring& commandLine,
                             ProcessStartInfo* info = nullptr);
  // Id of the first other process whose main module's path starts with `pathPrefix` (ignoring
  // case) at a path element's end; 0 when none or when the prefix is empty.
  static uint32_t FindProcessByPath(const std::wstring& pathPrefix);
  // Terminates (exit code 0) every process whose executable name equals `exeName` exactly; the
  // number of matches.
  static int KillProcessesByName(const std::wstring& exeName);
  static bool EnableDebugPrivilege();
};
