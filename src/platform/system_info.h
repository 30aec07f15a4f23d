#pragma once
// The operating system's version numbers and kind, the processor architecture, and the machine's
// network identity. POSIX stands in for a clean Windows 10 workstation (x86-64), whose numbers
// tests can replace.
#include <cstdint>
#include <string>

namespace platform {

struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = 0;        // 2: NT
  uint32_t servicePackMajor = 0;
  uint32_t productType = 0;       // 1: workstation, 2: domain controller, 3: server
};

constexpr uint32_t kProductWorkstation = 1;
constexpr uint16_t kProcessorArchitectureAmd64 = 9;

// The numbers GetVersionExW reports: a program that does not declare itself compatible with newer
// systems is told 6.2 on every later one.
bool ReportedOsVersion(OsVersion* version);
// The true numbers, from RtlGetVersion of ntdll (looked up once). False when it is missing or fails.
bool TrueOsVersion(OsVersion* version);
// Whether the system is not a workstation (VerifyVersionInfoW on the product type).
bool IsServerSystem();
// wProcessorArchitecture of GetSystemInfo.
uint16_t ProcessorArchitecture();
// GetSystemMetrics(SM_SERVERR2) is nonzero.
bool IsServerR2();

// POSIX: the true numbers the calls above report from now on (GetVersionExW's rule still caps the
// reported ones at 6.2). Windows: the system decides, false.
bool OverrideOsVersion(const OsVersion& version);

// The first IPv4 address of the local host name, dotted; empty when there is none.
std::string LocalHostFirstIPv4();

// The physical address of the first adapter that is up and has one, as 12 lowercase hexadecimal
// digits; empty when there is none.
std::wstring AdapterMacAddress();

// The same text from the SNMP MIB extension "inetmib1.dll" (systems before 6.0): the last Ethernet
// row of the interface table with a nonzero address. Empty when the extension is missing (always
// on POSIX) or no row qualifies.
std::wstring SnmpMacAddress();

}  // namespace platform
