#pragma once
// The application object: what the command line asked for, and the services' owner.
#include <cstdint>
#include <string>

#include "thread/singleton.h"

class CommandLine;
class CMainDlg;

class MainApp : public CSingleton<MainApp> {
 public:
  // Sets hidden, gameIdOverride and runLauncher from the options that were read; parser errors
  // are ignored.
  void ApplyOptions(const CommandLine& commandLine);

  // Shown when another installer already runs (the message box comes with the main window).
  void ShowAlreadyRunningNotice();

  CMainDlg* window = nullptr;
  int32_t gameIdOverride = 0;
  bool hidden = false;
  bool runLauncher = true;
  std::wstring logUrl;

 private:
  friend class CSingleton<MainApp>;
  MainApp();
};

// Texts and ids fixed in the program.
namespace app_constants {
inline constexpr const wchar_t* kSingleInstanceMutexName = L"qbts_install_20170309";
inline constexpr const wchar_t* kBaseVersionText = L"1.0.2|devu_dodazavavi";
inline constexpr const wchar_t* kBaseProductText = L"devu_dodazavavi";
inline constexpr const wchar_t* kVersionWithGameIdFormat = L"%s|GameId:%d";
inline constexpr const wchar_t* kProductWithGameIdFormat = L"%s|id:%d";
inline constexpr const wchar_t* kAlreadyRunningText = L"您已经运行了一个Tessal安装程序。";
inline constexpr uint32_t kAppTimerId = 100;
inline constexpr uint32_t kAppTimerPeriodMs = 500;
// String table ids.
inline constexpr uint32_t kStringTagId = 1;
inline constexpr uint32_t kStringGameId = 2;
inline constexpr uint32_t kStringWindowTitle = 3;
}  // namespace app_constants
