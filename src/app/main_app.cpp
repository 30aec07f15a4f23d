#include "app/main_app.h"

#include "deployment_settings.h"
#include "util/command_line.h"
#include "util/number_text.h"
#include "logger/log.h"

MainApp::MainApp()
    : logUrl(std::wstring(L"http://") + deployment::kLogHost + L":" + std::to_wstring(deployment::kLogPort) +
             deployment::kLogPath) {}

void MainApp::ApplyOptions(const CommandLine& commandLine) {
  if (commandLine.HasOption(L'h')) hidden = true;
  std::wstring value;
  if (commandLine.GetOptionValue(L'i', value)) {
    gameIdOverride = static_cast<int32_t>(ToInt64(value));
  }
  if (commandLine.GetOptionValue(L'r', value)) {
    runLauncher = static_cast<int32_t>(ToInt64(value)) != 0;
  }
}

void MainApp::ShowAlreadyRunningNotice() { LOG_INFO(L"%s", app_constants::kAlreadyRunningText); }
