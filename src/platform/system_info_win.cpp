#include "platform/system_info.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <snmp.h>

#include <cstring>
#include <iterator>
#include <vector>

namespace platform {

namespace {

using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOEXW*);

RtlGetVersionProc RtlGetVersionEntry() {
  static const RtlGetVersionProc entry = [] {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return RtlGetVersionProc{};
    return reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  }();
  return entry;
}

OsVersion FromRecord(const OSVERSIONINFOEXW& record) {
  OsVersion version;
  version.major = record.dwMajorVersion;
  version.minor = record.dwMinorVersion;
  version.build = record.dwBuildNumber;
  version.platformId = record.dwPlatformId;
  version.servicePackMajor = record.wServicePackMajor;
  version.productType = record.wProductType;
  return version;
}

// Six address bytes as two lowercase digits each.
std::wstring MacText(const BYTE* bytes) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  for (int i = 0; i < 6; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

// The SNMP utility calls of snmpapi.dll, whose allocator the MIB extension uses for the names and
// values it hands back.
struct SnmpUtil {
  using OidCpy = INT(WINAPI*)(AsnObjectIdentifier*, AsnObjectIdentifier*);
  using VarBindFree = VOID(WINAPI*)(SnmpVarBind*);
  OidCpy oidCpy = nullptr;
  VarBindFree varBindFree = nullptr;
};

bool HasPrefix(const AsnObjectIdentifier& oid, const UINT* prefix, UINT length) {
  if (oid.idLength < length || oid.ids == nullptr) return false;
  for (UINT i = 0; i < length; ++i) {
    if (oid.ids[i] != prefix[i]) return false;
  }
  return true;
}

template <typename Proc>
Proc Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

bool ReportedOsVersion(OsVersion* version) {
  OSVERSIONINFOEXW record{};
  record.dwOSVersionInfoSize = sizeof(record);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record))) return false;
#pragma GCC diagnostic pop
  *version = FromRecord(record);
  return true;
}

bool TrueOsVersion(OsVersion* version) {
  const RtlGetVersionProc entry = RtlGetVersionEntry();
  if (entry == nullptr) return false;
  OSVERSIONINFOEXW record{};
  record.dwOSVersionInfoSize = sizeof(record);
  if (entry(&record) != 0) return false;
  *version = FromRecord(record);
  return true;
}

bool IsServerSystem() {
  OSVERSIONINFOEXW record{};
  record.dwOSVersionInfoSize = sizeof(record);
  record.wProductType = VER_NT_WORKSTATION;
  const DWORDLONG mask = ::VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL);
  return !::VerifyVersionInfoW(&record, VER_PRODUCT_TYPE, mask);
}

uint16_t ProcessorArchitecture() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.wProcessorArchitecture;
}

bool IsServerR2() { return ::GetSystemMetrics(SM_SERVERR2) != 0; }

bool OverrideOsVersion(const OsVersion&) {
  ::SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

std::string LocalHostFirstIPv4() {
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return {};
  std::string text;
  char name[256] = {};
  if (::gethostname(name, sizeof(name) - 1) == 0) {
    const hostent* host = ::gethostbyname(name);
    if (host != nullptr && host->h_addrtype == AF_INET && host->h_addr_list[0] != nullptr) {
      in_addr address{};
      memcpy(&address, host->h_addr_list[0], sizeof(address));
      const char* dotted = ::inet_ntoa(address);
      if (dotted != nullptr) text = dotted;
    }
  }
  ::WSACleanup();
  return text;
}

std::wstring AdapterMacAddress() {
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = ::GetAdaptersAddresses(AF_INET, 0, nullptr,
                                    reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result != NO_ERROR) return {};
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    if (adapter->OperStatus != IfOperStatusUp || adapter->PhysicalAddressLength == 0) continue;
    return MacText(adapter->PhysicalAddress);  // the first six of a fixed array of eight bytes
  }
  return {};
}

std::wstring SnmpMacAddress() {
  HMODULE mib = ::LoadLibraryW(L"inetmib1.dll");
  HMODULE api = ::LoadLibraryW(L"snmpapi.dll");
  std::wstring found;
  const auto init = mib ? Entry<PFNSNMPEXTENSIONINIT>(mib, "SnmpExtensionInit") : nullptr;
  const auto query = mib ? Entry<PFNSNMPEXTENSIONQUERY>(mib, "SnmpExtensionQuery") : nullptr;
  SnmpUtil util;
  if (api != nullptr) {
    util.oidCpy = Entry<SnmpUtil::OidCpy>(api, "SnmpUtilOidCpy");
    util.varBindFree = Entry<SnmpUtil::VarBindFree>(api, "SnmpUtilVarBindFree");
  }
  HANDLE trapEvent = nullptr;
  AsnObjectIdentifier region{};
  if (init != nullptr && query != nullptr && util.oidCpy != nullptr && util.varBindFree != nullptr &&
      init(::GetTickCount(), &trapEvent, &region)) {
    UINT ifNumber[] = {1, 3, 6, 1, 2, 1, 2, 1};
    UINT ifType[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 3};
    UINT ifPhysAddress[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 6};
    AsnObjectIdentifier numberOid{static_cast<UINT>(std::size(ifNumber)), ifNumber};
    AsnObjectIdentifier typeOid{static_cast<UINT>(std::size(ifType)), ifType};
    AsnObjectIdentifier addressOid{static_cast<UINT>(std::size(ifPhysAddress)), ifPhysAddress};
    SnmpVarBind binds[2] = {};
    SnmpVarBindList list{binds, 1};
    AsnInteger32 errorStatus = 0;
    AsnInteger32 errorIndex = 0;
    util.oidCpy(&binds[0].name, &numberOid);
    query(SNMP_PDU_GETNEXT, &list, &errorStatus, &errorIndex);
    util.varBindFree(&binds[0]);
    list.len = 2;
    util.oidCpy(&binds[0].name, &typeOid);
    util.oidCpy(&binds[1].name, &addressOid);
    // Both columns side by side, until either runs out (or an agent that never ends does).
    for (int row = 0; row < 4096 && query(SNMP_PDU_GETNEXT, &list, &errorStatus, &errorIndex) &&
           HasPrefix(binds[0].name, ifType, typeOid.idLength) &&
           HasPrefix(binds[1].name, ifPhysAddress, addressOid.idLength);
         ++row) {
      if (binds[0].value.asnValue.number != 6) continue;  // not Ethernet
      const AsnOctetString& address = binds[1].value.asnValue.address;
      if (address.stream == nullptr || address.length < 6) continue;
      if (memcmp(address.stream, "DEST", 4) == 0) continue;
      static const BYTE kZero[6] = {};
      if (memcmp(address.stream, kZero, 6) == 0) continue;
      found = MacText(address.stream);  // the last such row wins
    }
    util.varBindFree(&binds[0]);
    util.varBindFree(&binds[1]);
  }
  // Both libraries stay loaded: the extension may keep state of its own after its start, and the
  // caller asks once per process.
  return found;
}

}  // namespace platform
