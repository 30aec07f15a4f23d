#include "util/common_utils.h"

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/error.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/shell_folder.h"
#include "platform/system_info.h"
#include "test_child_location.h"
#include "util/file_utils.h"

namespace {

bool IsLowerHex(const std::wstring& text) {
  for (wchar_t c : text) {
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return false;
  }
  return true;
}

std::wstring UpperAscii(std::wstring text) {
  for (auto& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

std::wstring TwoDigits(int value) { return (value < 10 ? L"0" : L"") + std::to_wstring(value); }

// Ends a child that a failed check left running.
void EndProcess(uint32_t processId) {
  platform::ProcessHandle process = platform::OpenProcessById(processId);
  if (process == nullptr) return;
  platform::TerminateProcess(process, 0);
  platform::WaitProcess(process, 5000, nullptr);
  platform::CloseProcessHandle(process);
}

}  // namespace

TEST(CommonUtilsFormat, FormatSizeTable) {
  struct Case {
    int64_t bytes;
    bool spaced;
    const wchar_t* text;
  };
  const Case cases[] = {
      {0, false, L"0B"},
      {999, false, L"999B"},
      {999, true, L"999 B"},
      {1000, true, L"0.98 KB"},
      {1000, false, L"0.98KB"},  // each call follows its own argument
      {1023999, true, L"1000.00 KB"},
      {1048575, true, L"1.00 MB"},
      {150LL * 1024 * 1024, false, L"150.00MB"},
      {1024000LL * 1024, true, L"0.98 GB"},
      {3LL << 40, false, L"3.00TB"},
      {1LL << 50, true, L"1024.00 TB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommonUtils::FormatSize(c.bytes, c.spaced), c.text) << c.bytes << (c.spaced ? " spaced" : "");
  }
}

TEST(CommonUtilsFormat, FormatTimeShowsLocalCalendarFields) {
  // The zone is the machine's, so the expected fields come from the platform's local conversion.
  for (int64_t seconds : {int64_t{0}, int64_t{981173106}, int64_t{1700000000}}) {
    platform::LocalDateTime local{};
    ASSERT_TRUE(platform::UnixTimeToLocal(seconds, &local));
    const std::wstring expected = std::to_wstring(local.year) + L"-" + TwoDigits(local.month) + L"-" +
                                  TwoDigits(local.day) + L" " + TwoDigits(local.hour) + L":" +
                                  TwoDigits(local.minute) + L":" + TwoDigits(local.second);
    EXPECT_EQ(CommonUtils::FormatTime(seconds), expected) << seconds;
  }
}

TEST(CommonUtilsFormat, FileTimeToUnixTime) {
  const uint64_t epoch = 116444736000000000ULL;
  EXPECT_EQ(CommonUtils::FileTimeToUnixTime(epoch), 0);
  EXPECT_EQ(CommonUtils::FileTimeToUnixTime(epoch + 1577934245ULL * 10000000ULL), 1577934245);
  EXPECT_EQ(CommonUtils::FileTimeToUnixTime(epoch - 10ULL * 10000000ULL), -10);
}

TEST(CommonUtilsUrls, HostPortAndScheme) {
  struct Case {
    const wchar_t* url;
    const wchar_t* host;
    int port;
    bool https;
  };
  const Case cases[] = {
      {L"https://update.example.com/qbinstall.txt", L"update.example.com", 443, true},
      {L"http://update.example.com:8080/x", L"update.example.com", 8080, false},
      {L"http://host:abc/x", L"host", 80, false},
      {L"https://a-b.c:8443/path?q=1", L"a-b.c", 8443, true},
      {L"http://h:0/", L"h", 80, false},
      {L"host.example:81", L"host.example", 81, false},
      {L"https", L"https", 80, false},  // too short to count as https
      {L"HTTPS://x/", L"x", 80, false},  // the scheme test is case-sensitive
      {L"http://1.2.3.4/a:99", L"1.2.3.4", 99, false},  // the first colon after the scheme decides
      {L"", L"", 80, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.url)));
    EXPECT_EQ(CommonUtils::GetHostFromUrl(c.url), c.host);
    EXPECT_EQ(CommonUtils::GetPortFromUrl(c.url), c.port);
    EXPECT_EQ(CommonUtils::IsHttps(c.url), c.https);
  }
}

TEST(CommonUtilsUrls, PutHttpsFirstKeepsEachGroupsOrder) {
  std::vector<std::wstring> urls = {L"http://a", L"https://b", L"http://c", L"https://d"};
  CommonUtils::PutHttpsFirst(urls);
  EXPECT_EQ(urls, (std::vector<std::wstring>{L"https://b", L"https://d", L"http://a", L"http://c"}));

  std::list<std::wstring> plain = {L"http://z", L"ftp://y", L"http://x"};
  const std::list<std::wstring> before = plain;
  CommonUtils::PutHttpsFirst(plain);
  EXPECT_EQ(plain, before);
}

TEST(CommonUtilsUrls, IsIPv4Text) {
  EXPECT_TRUE(CommonUtils::IsIPv4Text(L"1.2.3.4"));
  EXPECT_TRUE(CommonUtils::IsIPv4Text(L"10..1"));  // digits and dots only, not a full check
  EXPECT_FALSE(CommonUtils::IsIPv4Text(L""));
  EXPECT_FALSE(CommonUtils::IsIPv4Text(L"1.2.3.x"));
  EXPECT_FALSE(CommonUtils::IsIPv4Text(L"::1"));
}

TEST(CommonUtilsOsName, TrueVersionRows) {
  struct Case {
    uint32_t major, minor, servicePack;
    bool server;
    const wchar_t* name;
  };
  const Case cases[] = {
      {6, 2, 0, false, L"Microsoft Windows 8 SP0"},
      {6, 2, 1, true, L"Microsoft Windows Server 2012 SP1"},
      {6, 3, 0, false, L"Microsoft Windows 8.1 SP0"},
      {6, 3, 2, true, L"Microsoft Windows Server 2012 R2 SP2"},
      {10, 0, 0, false, L"Microsoft Windows 10 SP0"},
      {10, 0, 0, true, L"Microsoft Windows Server Technical Preview SP0"},
      {6, 1, 1, false, L""},
      {10, 1, 0, false, L""},
      {11, 0, 0, false, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommonUtils::OsNameFromTrueVersion(c.major, c.minor, c.servicePack, c.server), c.name)
        << c.major << "." << c.minor << (c.server ? " server" : "");
  }
}

TEST(CommonUtilsOsName, ReportedVersionRows) {
  struct Case {
    uint32_t major, minor, platformId, productType;
    bool x64, serverR2;
    const wchar_t* name;
  };
  const Case cases[] = {
      {4, 0, 2, 1, false, false, L"Microsoft Windows NT 4.0"},
      {4, 0, 1, 1, false, false, L"Microsoft Windows 95"},
      {4, 0, 0, 1, false, false, L""},
      {4, 10, 1, 1, false, false, L"Microsoft Windows 98"},
      {4, 90, 1, 1, false, false, L"Microsoft Windows Me"},
      {4, 1, 2, 1, false, false, L""},
      {5, 0, 2, 1, false, false, L"Microsoft Windows 2000"},
      {5, 1, 2, 1, true, false, L"Microsoft Windows XP"},
      {5, 2, 2, 1, true, true, L"Microsoft Windows XP Professional x64 Edition"},
      {5, 2, 2, 1, false, true, L"Microsoft Windows Server 2003 R2"},
      {5, 2, 2, 3, true, true, L"Microsoft Windows Server 2003 R2"},
      {5, 2, 2, 3, true, false, L"Microsoft Windows Server 2003"},
      {5, 3, 2, 1, false, false, L""},
      {6, 0, 2, 1, false, false, L"Microsoft Windows Vista"},
      {6, 0, 2, 3, false, false, L"Microsoft Windows Server 2008"},
      {6, 1, 2, 1, true, false, L"Microsoft Windows 7"},
      {6, 1, 2, 2, true, false, L"Microsoft Windows Server 2008 R2"},  // a domain controller
      {6, 2, 2, 1, true, false, L"Microsoft Windows 8"},
      {6, 2, 2, 3, true, false, L"Microsoft Windows Server 2012"},
      {6, 3, 2, 1, true, false, L"Microsoft Windows 8.1"},
      {6, 3, 2, 3, true, false, L"Microsoft Windows Server 2012 R2"},
      {6, 4, 2, 1, true, false, L""},
      {3, 51, 2, 1, false, false, L"未知操作系统"},
      {10, 0, 2, 1, true, false, L"未知操作系统"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommonUtils::OsNameFromVersion(c.major, c.minor, c.platformId, c.productType, c.x64, c.serverR2),
              c.name)
        << c.major << "." << c.minor << " platform " << c.platformId << " product " << c.productType;
  }
}

TEST(CommonUtilsSystem, VersionOfThisMachine) {
  const std::wstring name = CommonUtils::GetOSName();
  EXPECT_EQ(name.rfind(L"Microsoft Windows", 0), 0u) << testing::PrintToString(name);
  EXPECT_GE(CommonUtils::GetOSMajorVersion(), 6);
  uint32_t major = 0, minor = 0, servicePack = 0;
  ASSERT_TRUE(CommonUtils::GetOSVersionNumbers(&major, &minor, &servicePack));
  EXPECT_EQ(static_cast<int>(major), CommonUtils::GetOSMajorVersion());
}

TEST(CommonUtilsSystem, NameFollowsTheVersionNumbers) {
  platform::OsVersion saved;
  ASSERT_TRUE(platform::TrueOsVersion(&saved));
  if (!platform::OverrideOsVersion(saved)) GTEST_SKIP() << "the real system decides its version";

  // Below 6.2 the reported numbers name the system; from 6.2 on the true ones do.
  ASSERT_TRUE(platform::OverrideOsVersion({6, 1, 7601, 2, 1, 1}));
  EXPECT_EQ(CommonUtils::GetOSName(), L"Microsoft Windows 7");
  EXPECT_EQ(CommonUtils::GetOSMajorVersion(), 6);
  ASSERT_TRUE(platform::OverrideOsVersion({6, 3, 9600, 2, 0, 3}));
  EXPECT_TRUE(CommonUtils::IsServerOS());
  EXPECT_EQ(CommonUtils::GetOSName(), L"Microsoft Windows Server 2012 R2 SP0");
  ASSERT_TRUE(platform::OverrideOsVersion({10, 0, 19045, 2, 0, 1}));
  EXPECT_FALSE(CommonUtils::IsServerOS());
  EXPECT_EQ(CommonUtils::GetOSName(), L"Microsoft Windows 10 SP0");
  EXPECT_EQ(CommonUtils::GetOSMajorVersion(), 10);
  // A version the newer table does not know falls back to the reported 6.2.
  ASSERT_TRUE(platform::OverrideOsVersion({10, 1, 1, 2, 0, 1}));
  EXPECT_EQ(CommonUtils::GetOSName(), L"Microsoft Windows 8");
  EXPECT_TRUE(platform::OverrideOsVersion(saved));
}

TEST(CommonUtilsSystem, FoldersAndSpace) {
  const std::wstring module = platform::ModuleFilePath();
  EXPECT_EQ(CommonUtils::GetModuleDir() + L"\\" + FileUtils::GetFileName(module), module);

  const std::wstring documents = CommonUtils::GetSpecialFolder(platform::kCsidlCommonDocuments);
  EXPECT_GT(documents.size(), 3u);
  EXPECT_EQ(documents.substr(documents.size() - 10), L"\\Documents") << testing::PrintToString(documents);
  const std::wstring appData = CommonUtils::GetSpecialFolder(platform::kCsidlCommonAppData);
  EXPECT_EQ(UpperAscii(appData), L"C:\\PROGRAMDATA") << testing::PrintToString(appData);

  EXPECT_GT(CommonUtils::GetDiskFreeSpace(platform::TempFolder() + L"anything"), 0u);
  const uint32_t drives = platform::LogicalDriveMask();
  for (wchar_t letter = L'Y'; letter >= L'K'; --letter) {
    if ((drives & (1u << (letter - L'A'))) != 0) continue;
    EXPECT_EQ(CommonUtils::GetDiskFreeSpace(std::wstring(1, letter) + L":\\Games"), 0u);
    break;
  }
}

TEST(CommonUtilsSystem, NetworkIdentityIsWellFormed) {
  const std::string ip = CommonUtils::GetLocalIP();
  EXPECT_TRUE(ip.empty() || CommonUtils::IsIPv4Text(std::wstring(ip.begin(), ip.end()))) << ip;
  const std::wstring mac = CommonUtils::GetMacAddress();
  EXPECT_TRUE(mac.empty() || (mac.size() == 12 && IsLowerHex(mac))) << testing::PrintToString(mac);
  EXPECT_EQ(CommonUtils::GetMacAddress(), mac);
  // The walk of the older systems runs wherever its library exists (Wine has one).
  const std::wstring walked = platform::SnmpMacAddress();
  EXPECT_TRUE(walked.empty() || (walked.size() == 12 && IsLowerHex(walked))) << testing::PrintToString(walked);
}

TEST(CommonUtilsProcesses, RunProgramReportsTheSystemError) {
  const std::wstring missing = FileUtils::GetParentDir(test_child::Path()) + L"\\no_such_program.exe";
  CommonUtils::ProcessStartInfo info;
  EXPECT_EQ(CommonUtils::RunProgram(missing, L"\"" + missing + L"\"", &info), platform::kErrorFileNotFound);
  EXPECT_EQ(info.processId, 0u);
}

TEST(CommonUtilsProcesses, StartedChildIsFoundByPathAndKilledByName) {
  const std::wstring child = test_child::Path();
  const std::wstring childDir = FileUtils::GetParentDir(child);
  CommonUtils::ProcessStartInfo info;
  ASSERT_EQ(CommonUtils::RunProgram(child, L"\"" + child + L"\" sleep 20000", &info), 0u);
  ASSERT_NE(info.processId, 0u);
  EXPECT_NE(info.threadId, 0u);
  platform::ProcessHandle process = platform::OpenProcessById(info.processId);
  ASSERT_NE(process, nullptr);

  EXPECT_EQ(CommonUtils::FindProcessByPath(childDir), info.processId);
  EXPECT_EQ(CommonUtils::FindProcessByPath(UpperAscii(childDir) + L"\\"), info.processId);
  EXPECT_EQ(CommonUtils::FindProcessByPath(child), info.processId);
  // A prefix that stops inside a name, or an empty one, names nothing.
  EXPECT_NE(CommonUtils::FindProcessByPath(childDir.substr(0, childDir.size() - 1)), info.processId);
  EXPECT_EQ(CommonUtils::FindProcessByPath(L""), 0u);
  // The own process is never reported.
  EXPECT_EQ(CommonUtils::FindProcessByPath(platform::ModuleFilePath()), 0u);

  // Names match exactly, case included.
  EXPECT_EQ(CommonUtils::KillProcessesByName(UpperAscii(test_child::FileName())), 0);
  EXPECT_FALSE(platform::WaitProcess(process, 50, nullptr));
  EXPECT_EQ(CommonUtils::KillProcessesByName(test_child::FileName()), 1);
  uint32_t exitCode = 99;
  EXPECT_TRUE(platform::WaitProcess(process, 10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  platform::CloseProcessHandle(process);
  EndProcess(info.processId);
  EXPECT_EQ(CommonUtils::FindProcessByPath(childDir), 0u);
}

TEST(CommonUtilsProcesses, DebugPrivilege) { EXPECT_TRUE(CommonUtils::EnableDebugPrivilege()); }
